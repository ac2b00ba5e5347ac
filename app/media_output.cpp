#include "media_output.h"

#include <cstdlib>
#include <cstring>

#include "sound.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace depth {

namespace {

// Test hook: KAPLO_DEPTH_NO_ENCODER names codecs, separated by commas
// ("h264,h265"), whose encoders the lookup takes as missing, so that the
// tests can run the export as on a system whose FFmpeg lacks them.
bool hidden_by_test(Codec codec) {
    const char* hidden = std::getenv("KAPLO_DEPTH_NO_ENCODER");
    if (!hidden) return false;
    const std::string list = std::string(",") + hidden + ",";
    return list.find(std::string(",") + codec_name(codec) + ",") != std::string::npos;
}

const AVCodec* find_encoder(Codec codec) {
    if (hidden_by_test(codec)) return nullptr;
    switch (codec) {
        case Codec::Mjpeg:
            return avcodec_find_encoder_by_name("mjpeg");
        case Codec::Mpeg4:
            return avcodec_find_encoder_by_name("mpeg4");
        case Codec::H264:
            if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264")) return x264;
            return avcodec_find_encoder(AV_CODEC_ID_H264);
        case Codec::H265:
            if (const AVCodec* x265 = avcodec_find_encoder_by_name("libx265")) return x265;
            return avcodec_find_encoder(AV_CODEC_ID_HEVC);
        case Codec::Default:
            break;
    }
    return nullptr;
}

// The widest and tallest picture each codec takes: MPEG-4 part 2 stores each
// side in 13 bits, x264 refuses sides past 16384, a JPEG stores 16 bits.
// H.265's encoder judges for itself, and says so when it refuses.
int most_side(Codec codec) {
    switch (codec) {
        case Codec::Mpeg4:
            return 8190;
        case Codec::H264:
            return 16384;
        case Codec::Mjpeg:
            return 65535;
        default:
            return 1 << 30;
    }
}

std::string library_text(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_make_error_string(text, sizeof text, error);
    return text;
}

}  // namespace

bool choose_codec(Container container, Codec asked, Codec* used, std::string* why,
                  std::string* note) {
    note->clear();
    *used = codec_for(container, asked);
    if (find_encoder(*used)) return true;
    if (asked != Codec::Default) {
        *why = std::string("this system's FFmpeg has no ") + codec_name(*used) +
               " encoder (ask for another --codec)";
        return false;
    }
    *note = std::string("this system's FFmpeg has no ") + codec_name(*used) +
            " encoder: writing mpeg4 (MPEG-4 part 2) video instead";
    *used = Codec::Mpeg4;
    return true;
}

struct MediaOutput::State {
    std::string shown;
    AVFormatContext* format = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    SwsContext* colours = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SoundTrack* sound = nullptr;
    int64_t next_pts = 0;
    bool fixed_q = false;

    ~State() {
        if (format && format->pb) avio_closep(&format->pb);
        avformat_free_context(format);
        avcodec_free_context(&encoder);
        sws_freeContext(colours);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }

    bool failed(int error, std::string* why) const {
        *why = "cannot write " + shown + ": " + library_text(error);
        return false;
    }

    // Sends `f` (null: the end) to the encoder and writes what comes out.
    bool encode(const AVFrame* f, std::string* why) {
        int ret = avcodec_send_frame(encoder, f);
        if (ret < 0) return failed(ret, why);
        for (;;) {
            ret = avcodec_receive_packet(encoder, packet);
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
            if (ret < 0) return failed(ret, why);
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            ret = av_interleaved_write_frame(format, packet);
            if (ret < 0) return failed(ret, why);
        }
    }

    bool make_encoder(const MediaSettings& m, const AVCodec* codec, std::string* why);
};

bool MediaOutput::State::make_encoder(const MediaSettings& m, const AVCodec* codec,
                                      std::string* why) {
    encoder = avcodec_alloc_context3(codec);
    if (!encoder) return failed(AVERROR(ENOMEM), why);
    encoder->width = m.size.width;
    encoder->height = m.size.height;
    // MPEG-4 part 2 stores the rate's parts in 16 bits; 29.97 stays 30000/1001.
    const AVRational rate = av_d2q(m.fps, 65535);
    encoder->framerate = rate;
    encoder->time_base = av_inv_q(rate);
    // 4:2:0, the colour at half resolution both ways: what players take from
    // every codec. Motion JPEG's own list says which of its two forms.
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    if (m.codec == Codec::Mjpeg && codec->pix_fmts)
        for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
            if (*p == AV_PIX_FMT_YUVJ420P || *p == AV_PIX_FMT_YUV420P) {
                encoder->pix_fmt = *p;
                break;
            }
    const bool full_range = encoder->pix_fmt == AV_PIX_FMT_YUVJ420P;
    encoder->color_range = full_range ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    encoder->colorspace = AVCOL_SPC_BT470BG;  // BT.601, as the conversion below
    // The codec's own threads, one per core or as it decides.
    encoder->thread_count = m.threads;
    encoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (m.codec == Codec::H264 || m.codec == Codec::H265) {
        av_opt_set_int(encoder->priv_data, "crf", crf_for_quality(m.quality), 0);
        // x265 writes its own lines on standard error unless told not to.
        av_opt_set(encoder->priv_data, "x265-params", "log-level=none", 0);
    } else {
        fixed_q = true;
        encoder->flags |= AV_CODEC_FLAG_QSCALE;
        encoder->global_quality = qscale_for_quality(m.quality) * FF_QP2LAMBDA;
    }
    const int ret = avcodec_open2(encoder, codec, nullptr);
    if (ret < 0) {
        *why = "cannot write " + shown + ": the " + codec_name(m.codec) + " encoder refused " +
               std::to_string(m.size.width) + " x " + std::to_string(m.size.height) +
               " pictures (" + library_text(ret) + ")";
        return false;
    }
    colours =
        sws_getContext(m.size.width, m.size.height, AV_PIX_FMT_BGR24, m.size.width, m.size.height,
                       encoder->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!colours) return failed(AVERROR(ENOMEM), why);
    const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(colours, bt601, 1, bt601, full_range ? 1 : 0, 0, 1 << 16, 1 << 16);
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (!frame || !packet) return failed(AVERROR(ENOMEM), why);
    frame->format = encoder->pix_fmt;
    frame->width = m.size.width;
    frame->height = m.size.height;
    const int got = av_frame_get_buffer(frame, 0);
    return got >= 0 || failed(got, why);
}

MediaOutput::MediaOutput() : s_(std::make_unique<State>()) {}
MediaOutput::~MediaOutput() = default;

bool MediaOutput::open(const std::string& path, const std::string& shown, const MediaSettings& m,
                       SoundTrack* sound, const std::string& sound_input, std::string* why) {
    State& s = *s_;
    s.shown = shown;
    const int most = most_side(m.codec);
    if (m.size.width > most || m.size.height > most) {
        *why = "cannot write " + shown + ": " + codec_name(m.codec) +
               " video takes pictures up to " + std::to_string(most) + " x " +
               std::to_string(most) + ", and these are " + std::to_string(m.size.width) + " x " +
               std::to_string(m.size.height) + " (choose another --codec or --layout)";
        return false;
    }
    const AVCodec* codec = find_encoder(m.codec);
    if (!codec) {
        *why = "cannot write " + shown + ": no " + codec_name(m.codec) + " encoder";
        return false;
    }
    // The container by its name, never by the temporary file's.
    int ret = avformat_alloc_output_context2(&s.format, nullptr, container_format(m.container),
                                             path.c_str());
    if (ret < 0) return s.failed(ret, why);
    if (!s.make_encoder(m, codec, why)) return false;
    s.stream = avformat_new_stream(s.format, nullptr);
    if (!s.stream) return s.failed(AVERROR(ENOMEM), why);
    s.stream->time_base = s.encoder->time_base;
    s.stream->avg_frame_rate = s.encoder->framerate;
    ret = avcodec_parameters_from_context(s.stream->codecpar, s.encoder);
    if (ret < 0) return s.failed(ret, why);
    // Apple's players take H.265 in MP4 and QuickTime files only by this tag.
    if (m.codec == Codec::H265 && (m.container == Container::Mp4 || m.container == Container::Mov))
        s.stream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    if (sound && !sound->add_streams(sound_input, s.format, m.container, why)) return false;
    s.sound = sound;
    ret = avio_open(&s.format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) return s.failed(ret, why);
    ret = avformat_write_header(s.format, nullptr);
    return ret >= 0 || s.failed(ret, why);
}

bool MediaOutput::write_frame(const cv::Mat& bgr, std::string* why) {
    State& s = *s_;
    const double seconds = static_cast<double>(s.next_pts) * av_q2d(s.encoder->time_base);
    if (s.sound && !s.sound->write_until(s.format, seconds, why)) return false;
    // The encoder may still hold the last picture's buffers (frame threads).
    int ret = av_frame_make_writable(s.frame);
    if (ret < 0) return s.failed(ret, why);
    const uint8_t* rows[1] = {bgr.data};
    const int step[1] = {static_cast<int>(bgr.step[0])};
    sws_scale(s.colours, rows, step, 0, bgr.rows, s.frame->data, s.frame->linesize);
    s.frame->pts = s.next_pts++;
    if (s.fixed_q) s.frame->quality = s.encoder->global_quality;
    return s.encode(s.frame, why);
}

bool MediaOutput::finish(std::string* why) {
    State& s = *s_;
    if (!s.encode(nullptr, why)) return false;
    if (s.sound && !s.sound->finish(s.format, why)) return false;
    int ret = av_write_trailer(s.format);
    if (ret < 0) return s.failed(ret, why);
    ret = avio_closep(&s.format->pb);
    return ret >= 0 || s.failed(ret, why);
}

}  // namespace depth
