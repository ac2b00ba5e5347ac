#include "sound.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace depth {

namespace {

// Limits that keep a damaged or hostile input from making the export
// allocate without end: more streams, channels or samples a second than any
// real video has, and never more than a few seconds of samples held at once.
constexpr int kMostStreams = 32;
constexpr int kMostChannels = 64;
constexpr int kMostRate = 768000;
constexpr int kHeldSeconds = 10;
constexpr double kLongestDelay = 3600;  // of silence before a late sound

std::string av_error(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Audio formats each container takes as they are; the others are re-encoded.
bool container_takes(Container container, AVCodecID id) {
    static const std::vector<AVCodecID> avi = {AV_CODEC_ID_MP3, AV_CODEC_ID_MP2, AV_CODEC_ID_AC3,
                                               AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_U8};
    static const std::vector<AVCodecID> mp4 = {AV_CODEC_ID_AAC, AV_CODEC_ID_MP3, AV_CODEC_ID_AC3,
                                               AV_CODEC_ID_EAC3, AV_CODEC_ID_ALAC};
    static const std::vector<AVCodecID> mkv = {
        AV_CODEC_ID_AAC,    AV_CODEC_ID_MP3,  AV_CODEC_ID_MP2,
        AV_CODEC_ID_AC3,    AV_CODEC_ID_EAC3, AV_CODEC_ID_OPUS,
        AV_CODEC_ID_VORBIS, AV_CODEC_ID_FLAC, AV_CODEC_ID_PCM_S16LE};
    const auto in = [id](const std::vector<AVCodecID>& list) {
        return std::find(list.begin(), list.end(), id) != list.end();
    };
    switch (container) {
        case Container::Avi:
            return in(avi);
        case Container::Mp4:
            return in(mp4);
        case Container::Mov:
            return in(mp4) || id == AV_CODEC_ID_PCM_S16LE;
        case Container::Mkv:
            return in(mkv);
    }
    return false;
}

// The encoder's channel layout for `in`: the same when it takes it, else one
// of as many channels, else stereo.
void encoder_layout(const AVCodec* codec, const AVChannelLayout& in, AVChannelLayout* out) {
    AVChannelLayout wanted{};
    if (in.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&wanted, in.nb_channels);
    else
        av_channel_layout_copy(&wanted, &in);
    if (codec->ch_layouts == nullptr) {
        *out = wanted;
        return;
    }
    const AVChannelLayout* same_count = nullptr;
    for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels != 0; ++l) {
        if (av_channel_layout_compare(l, &wanted) == 0) {
            *out = wanted;
            return;
        }
        if (!same_count && l->nb_channels == wanted.nb_channels) same_count = l;
    }
    av_channel_layout_uninit(&wanted);
    if (same_count)
        av_channel_layout_copy(out, same_count);
    else
        *out = AV_CHANNEL_LAYOUT_STEREO;
}

// The encoder's sample rate nearest to `rate`.
int encoder_rate(const AVCodec* codec, int rate) {
    if (codec->supported_samplerates == nullptr) return rate;
    int best = codec->supported_samplerates[0];
    for (const int* r = codec->supported_samplerates; *r != 0; ++r)
        if (std::abs(*r - rate) < std::abs(best - rate)) best = *r;
    return best;
}

// A frame of `n` samples in the encoder's format, or null.
AVFrame* encoder_frame(const AVCodecContext* e, int n) {
    AVFrame* f = av_frame_alloc();
    if (!f) return nullptr;
    f->nb_samples = n;
    f->format = e->sample_fmt;
    f->sample_rate = e->sample_rate;
    if (av_channel_layout_copy(&f->ch_layout, &e->ch_layout) < 0 || av_frame_get_buffer(f, 0) < 0)
        av_frame_free(&f);
    return f;
}

// One audio stream of the input and its stream in the output.
struct Track {
    int input_index = -1;
    AVStream* out = nullptr;
    AVRational in_time_base{};
    int64_t shift = 0;  // the first picture's time, in in_time_base
    // Copied packets
    int64_t last_dts = AV_NOPTS_VALUE;
    // Re-encoded sound
    AVCodecContext* decoder = nullptr;
    AVCodecContext* encoder = nullptr;
    SwrContext* resampler = nullptr;
    AVChannelLayout resampler_in{};  // the decoded format the resampler is set for
    int resampler_format = -1, resampler_rate = 0;
    AVAudioFifo* fifo = nullptr;
    int frame_size = 0;
    bool started = false;  // the first decoded samples are placed
    int64_t to_drop = 0;   // samples before the first picture, still to drop
    int64_t next_pts = 0;  // of the next encoded frame, in 1 / rate

    bool copy() const { return decoder == nullptr; }

    ~Track() {
        avcodec_free_context(&decoder);
        avcodec_free_context(&encoder);
        swr_free(&resampler);
        av_channel_layout_uninit(&resampler_in);
        if (fifo) av_audio_fifo_free(fifo);
    }
};

}  // namespace

struct SoundTrack::State {
    std::string input;
    AVFormatContext* in = nullptr;
    std::vector<std::unique_ptr<Track>> tracks;
    std::vector<Track*> of_stream;          // input stream index -> its track, or null
    AVPacket* packet = av_packet_alloc();   // read from the input
    AVPacket* encoded = av_packet_alloc();  // from an encoder
    AVFrame* frame = av_frame_alloc();
    bool at_end = false;
    double read_until = -1e300;  // the time of the last sound read, in seconds

    ~State() {
        tracks.clear();
        avformat_close_input(&in);
        av_packet_free(&packet);
        av_packet_free(&encoded);
        av_frame_free(&frame);
    }

    bool fail(const std::string& what, int code, std::string* why) const {
        *why = "cannot write the sound of " + input + ": " + what +
               (code < 0 ? (what.empty() ? "" : ": ") + av_error(code) : "");
        return false;
    }

    bool add_track(int index, AVFormatContext* out, Container container, int64_t start,
                   std::string* why);
    bool open_coders(Track& t, const AVStream* s, AVFormatContext* out, Container container,
                     std::string* why);
    bool handle(Track& t, AVPacket* p, AVFormatContext* out, std::string* why);
    bool decode(Track& t, AVPacket* p, AVFormatContext* out, std::string* why);
    bool place(Track& t, AVFrame* f, AVFormatContext* out, std::string* why);
    bool resample(Track& t, const AVFrame* f, std::string* why);
    bool encode(Track& t, AVFrame* f, AVFormatContext* out, std::string* why);
    bool drain_fifo(Track& t, bool all, AVFormatContext* out, std::string* why);
    bool read_one(AVFormatContext* out, std::string* why);
    bool flush(AVFormatContext* out, std::string* why);
};

bool SoundTrack::State::add_track(int index, AVFormatContext* out, Container container,
                                  int64_t start, std::string* why) {
    const AVStream* s = in->streams[index];
    auto t = std::make_unique<Track>();
    t->input_index = index;
    t->in_time_base = s->time_base;
    t->shift = av_rescale_q(start, AV_TIME_BASE_Q, s->time_base);
    t->out = avformat_new_stream(out, nullptr);
    if (!t->out) return fail("", AVERROR(ENOMEM), why);
    const AVCodecParameters* p = s->codecpar;
    const int stated = avformat_query_codec(out->oformat, p->codec_id, FF_COMPLIANCE_NORMAL);
    // AVI places sound by its order alone: sound that starts after the first
    // picture is re-encoded, with the silence before it.
    const bool late =
        s->start_time != AV_NOPTS_VALUE && (s->start_time - t->shift) * av_q2d(s->time_base) > 0.02;
    if (container_takes(container, p->codec_id) && stated != 0 &&
        !(late && container == Container::Avi)) {
        const int r = avcodec_parameters_copy(t->out->codecpar, p);
        if (r < 0) return fail("", r, why);
        t->out->codecpar->codec_tag = 0;
        t->out->time_base = s->time_base;
    } else if (!open_coders(*t, s, out, container, why)) {
        return false;
    }
    of_stream[index] = t.get();
    tracks.push_back(std::move(t));
    return true;
}

bool SoundTrack::State::open_coders(Track& t, const AVStream* s, AVFormatContext* out,
                                    Container container, std::string* why) {
    const AVCodecParameters* p = s->codecpar;
    const char* format = avcodec_get_name(p->codec_id);
    if (p->ch_layout.nb_channels <= 0 || p->ch_layout.nb_channels > kMostChannels ||
        p->sample_rate <= 0 || p->sample_rate > kMostRate)
        return fail(std::string("its ") + format + " sound states " +
                        std::to_string(p->ch_layout.nb_channels) + " channels at " +
                        std::to_string(p->sample_rate) + " Hz",
                    0, why);
    const AVCodec* decoder = avcodec_find_decoder(p->codec_id);
    if (!decoder)
        return fail(p->codec_id == AV_CODEC_ID_NONE
                        ? std::string("its sound is in a format FFmpeg does not know")
                        : std::string("FFmpeg has no decoder for its ") + format + " sound",
                    0, why);
    const AVCodec* encoder =
        avcodec_find_encoder(container == Container::Avi ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_AAC);
    if (!encoder) return fail("no AAC or PCM encoder in this FFmpeg", 0, why);

    t.decoder = avcodec_alloc_context3(decoder);
    t.encoder = avcodec_alloc_context3(encoder);
    if (!t.decoder || !t.encoder) return fail("", AVERROR(ENOMEM), why);
    int r = avcodec_parameters_to_context(t.decoder, p);
    if (r < 0) return fail("", r, why);
    t.decoder->pkt_timebase = s->time_base;
    if ((r = avcodec_open2(t.decoder, decoder, nullptr)) < 0)
        return fail(std::string("cannot decode its ") + format + " sound", r, why);

    AVCodecContext* e = t.encoder;
    encoder_layout(encoder, p->ch_layout, &e->ch_layout);
    e->sample_rate = encoder_rate(encoder, p->sample_rate);
    e->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    e->time_base = AVRational{1, e->sample_rate};
    if (container != Container::Avi)
        e->bit_rate = e->ch_layout.nb_channels == 1   ? 128000
                      : e->ch_layout.nb_channels == 2 ? 160000
                                                      : 192000;
    if (out->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((r = avcodec_open2(e, encoder, nullptr)) < 0)
        return fail(std::string("cannot encode it as ") + encoder->name, r, why);
    if ((r = avcodec_parameters_from_context(t.out->codecpar, e)) < 0) return fail("", r, why);
    t.out->time_base = e->time_base;
    t.frame_size = e->frame_size > 0 ? e->frame_size : 1024;
    t.fifo = av_audio_fifo_alloc(e->sample_fmt, e->ch_layout.nb_channels, 2 * t.frame_size);
    if (!t.fifo) return fail("", AVERROR(ENOMEM), why);
    return true;
}

// A packet of the input's sound, its time made relative to the first picture.
bool SoundTrack::State::handle(Track& t, AVPacket* p, AVFormatContext* out, std::string* why) {
    if (p->pts == AV_NOPTS_VALUE) p->pts = p->dts;
    if (p->dts == AV_NOPTS_VALUE) p->dts = p->pts;
    if (p->pts != AV_NOPTS_VALUE) {
        read_until = (p->pts - t.shift) * av_q2d(t.in_time_base);
    }
    if (!t.copy()) return decode(t, p, out, why);
    if (p->pts == AV_NOPTS_VALUE) return true;  // nowhere to place it
    p->pts -= t.shift;
    p->dts -= t.shift;
    // Sound wholly before the first picture goes; a packet across it stays
    // whole (the muxer moves both streams alike if it cannot start below 0).
    if (p->pts + std::max<int64_t>(p->duration, 0) < 0) return true;
    if (t.last_dts != AV_NOPTS_VALUE && p->dts <= t.last_dts) return true;  // out of order
    t.last_dts = p->dts;
    p->stream_index = t.out->index;
    p->pos = -1;
    av_packet_rescale_ts(p, t.in_time_base, t.out->time_base);
    const int r = av_interleaved_write_frame(out, p);
    return r < 0 ? fail("", r, why) : true;
}

bool SoundTrack::State::decode(Track& t, AVPacket* p, AVFormatContext* out, std::string* why) {
    int r = avcodec_send_packet(t.decoder, p);
    // A damaged packet is left out, as a player would; the rest still plays.
    if (r < 0 && r != AVERROR_EOF && r != AVERROR(EAGAIN)) return true;
    for (;;) {
        r = avcodec_receive_frame(t.decoder, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return true;
        const bool placed = place(t, frame, out, why);
        av_frame_unref(frame);
        if (!placed) return false;
    }
}

// Decoded samples into the FIFO: the first ones placed against the first
// picture (those before it dropped, silence before a late start), then
// encoded a frame at a time.
bool SoundTrack::State::place(Track& t, AVFrame* f, AVFormatContext* out, std::string* why) {
    const int rate = t.encoder->sample_rate;
    if (!t.started) {
        t.started = true;
        const int64_t pts = f->best_effort_timestamp;
        const double offset = pts == AV_NOPTS_VALUE ? 0 : (pts - t.shift) * av_q2d(t.in_time_base);
        if (offset > kLongestDelay)
            return fail(
                "it starts " + std::to_string(static_cast<long>(offset)) + " s after the pictures",
                0, why);
        if (offset < 0) t.to_drop = std::llround(-offset * rate);
        for (int64_t silence = std::llround(std::max(offset, 0.0) * rate); silence > 0;) {
            const int n = static_cast<int>(std::min<int64_t>(silence, t.frame_size));
            AVFrame* quiet = encoder_frame(t.encoder, n);
            int r = AVERROR(ENOMEM);
            if (quiet) {
                av_samples_set_silence(quiet->extended_data, 0, n, quiet->ch_layout.nb_channels,
                                       t.encoder->sample_fmt);
                r = av_audio_fifo_write(t.fifo, reinterpret_cast<void**>(quiet->extended_data), n);
            }
            av_frame_free(&quiet);
            if (r < 0) return fail("", r, why);
            silence -= n;
            if (!drain_fifo(t, false, out, why)) return false;
        }
    }
    return resample(t, f, why) && drain_fifo(t, false, out, why);
}

// `f` (or, when null, what the resampler still holds) converted to the
// encoder's format, into the FIFO.
bool SoundTrack::State::resample(Track& t, const AVFrame* f, std::string* why) {
    int r = 0;
    if (f && (f->format != t.resampler_format || f->sample_rate != t.resampler_rate ||
              av_channel_layout_compare(&f->ch_layout, &t.resampler_in) != 0)) {
        // The first frame, or the decoded format changed midway.
        if (f->ch_layout.nb_channels <= 0 || f->ch_layout.nb_channels > kMostChannels ||
            f->sample_rate <= 0 || f->sample_rate > kMostRate)
            return fail("its decoded sound has " + std::to_string(f->ch_layout.nb_channels) +
                            " channels at " + std::to_string(f->sample_rate) + " Hz",
                        0, why);
        swr_free(&t.resampler);
        r = swr_alloc_set_opts2(&t.resampler, &t.encoder->ch_layout, t.encoder->sample_fmt,
                                t.encoder->sample_rate, const_cast<AVChannelLayout*>(&f->ch_layout),
                                static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
        if (r >= 0) r = swr_init(t.resampler);
        if (r < 0) return fail("cannot convert its sound", r, why);
        t.resampler_format = f->format;
        t.resampler_rate = f->sample_rate;
        av_channel_layout_uninit(&t.resampler_in);
        av_channel_layout_copy(&t.resampler_in, &f->ch_layout);
    }
    if (!t.resampler) return true;
    const int most = swr_get_out_samples(t.resampler, f ? f->nb_samples : 0);
    if (most < 0 || most > kHeldSeconds * t.encoder->sample_rate)
        return fail("a decoded frame of its sound is too long", 0, why);
    if (most == 0) return true;
    AVFrame* converted = encoder_frame(t.encoder, most);
    r = AVERROR(ENOMEM);
    if (converted)
        r = swr_convert(t.resampler, converted->extended_data, most,
                        f ? const_cast<const uint8_t**>(f->extended_data) : nullptr,
                        f ? f->nb_samples : 0);
    if (r > 0) {
        const int drop = static_cast<int>(std::min<int64_t>(t.to_drop, r));
        t.to_drop -= drop;
        if (drop < r) {
            void* planes[kMostChannels];
            const int planar = av_sample_fmt_is_planar(t.encoder->sample_fmt);
            const int count = planar ? t.encoder->ch_layout.nb_channels : 1;
            const int step = av_get_bytes_per_sample(t.encoder->sample_fmt) *
                             (planar ? 1 : t.encoder->ch_layout.nb_channels);
            for (int c = 0; c < count; ++c) planes[c] = converted->extended_data[c] + drop * step;
            r = av_audio_fifo_write(t.fifo, planes, r - drop);
        }
    }
    av_frame_free(&converted);
    if (r < 0) return fail("cannot convert its sound", r, why);
    if (av_audio_fifo_size(t.fifo) > kHeldSeconds * t.encoder->sample_rate)
        return fail("too many samples held", 0, why);
    return true;
}

// Encodes the FIFO's samples in frames of the encoder's size; with `all`,
// the shorter rest too.
bool SoundTrack::State::drain_fifo(Track& t, bool all, AVFormatContext* out, std::string* why) {
    while (av_audio_fifo_size(t.fifo) >= t.frame_size || (all && av_audio_fifo_size(t.fifo) > 0)) {
        const int n = std::min(av_audio_fifo_size(t.fifo), t.frame_size);
        AVFrame* f = encoder_frame(t.encoder, n);
        const int r = f ? av_audio_fifo_read(t.fifo, reinterpret_cast<void**>(f->extended_data), n)
                        : AVERROR(ENOMEM);
        if (f) f->pts = t.next_pts;
        t.next_pts += n;
        const bool encoded = r >= 0 && encode(t, f, out, why);
        av_frame_free(&f);
        if (r < 0) return fail("", r, why);
        if (!encoded) return false;
    }
    return true;
}

// Sends `f` (null: the end) to the encoder and writes what comes out.
bool SoundTrack::State::encode(Track& t, AVFrame* f, AVFormatContext* out, std::string* why) {
    int r = avcodec_send_frame(t.encoder, f);
    if (r < 0) return fail("cannot encode it", r, why);
    for (;;) {
        r = avcodec_receive_packet(t.encoder, encoded);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return fail("cannot encode it", r, why);
        encoded->stream_index = t.out->index;
        av_packet_rescale_ts(encoded, t.encoder->time_base, t.out->time_base);
        r = av_interleaved_write_frame(out, encoded);
        if (r < 0) return fail("", r, why);
    }
}

// Reads one packet of the input; at its end, flushes every track.
bool SoundTrack::State::read_one(AVFormatContext* out, std::string* why) {
    const int r = av_read_frame(in, packet);
    if (r == AVERROR_EOF) {
        at_end = true;
        return flush(out, why);
    }
    if (r < 0) {
        *why = "cannot read the sound of " + input + ": " + av_error(r);
        return false;
    }
    Track* t =
        packet->stream_index >= 0 && packet->stream_index < static_cast<int>(of_stream.size())
            ? of_stream[packet->stream_index]
            : nullptr;
    const bool handled = !t || handle(*t, packet, out, why);
    av_packet_unref(packet);
    return handled;
}

bool SoundTrack::State::flush(AVFormatContext* out, std::string* why) {
    for (auto& t : tracks) {
        if (t->copy()) continue;
        if (!decode(*t, nullptr, out, why) || !resample(*t, nullptr, why) ||
            !drain_fifo(*t, true, out, why) || !encode(*t, nullptr, out, why))
            return false;
    }
    return true;
}

SoundTrack::SoundTrack() = default;
SoundTrack::~SoundTrack() = default;

bool SoundTrack::add_streams(const std::string& input, AVFormatContext* out, Container container,
                             std::string* why) {
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.input = input;
    int r = avformat_open_input(&s.in, input.c_str(), nullptr, nullptr);
    if (r >= 0) r = avformat_find_stream_info(s.in, nullptr);
    if (r < 0) {
        *why = "cannot read the sound of " + input + ": " + av_error(r);
        state_.reset();
        return false;
    }
    // Time 0 of the output is the first picture's time.
    int64_t start = 0;
    const int video = av_find_best_stream(s.in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0 && s.in->streams[video]->start_time != AV_NOPTS_VALUE)
        start = av_rescale_q(s.in->streams[video]->start_time, s.in->streams[video]->time_base,
                             AV_TIME_BASE_Q);
    s.of_stream.assign(s.in->nb_streams, nullptr);
    int audio = 0;
    for (unsigned i = 0; i < s.in->nb_streams; ++i) {
        AVStream* stream = s.in->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
            stream->discard = AVDISCARD_ALL;  // only the sound is read
            continue;
        }
        if (++audio > kMostStreams)
            return s.fail("it has more than " + std::to_string(kMostStreams) + " sound streams", 0,
                          why);
        if (!s.add_track(static_cast<int>(i), out, container, start, why)) return false;
    }
    return true;
}

bool SoundTrack::has_sound() const {
    return state_ && !state_->tracks.empty();
}

bool SoundTrack::write_until(AVFormatContext* out, double seconds, std::string* why) {
    if (!has_sound()) return true;
    State& s = *state_;
    while (!s.at_end && s.read_until < seconds)
        if (!s.read_one(out, why)) return false;
    return true;
}

bool SoundTrack::finish(AVFormatContext* out, std::string* why) {
    if (!has_sound()) return true;
    while (!state_->at_end)
        if (!state_->read_one(out, why)) return false;
    return true;
}

}  // namespace depth
