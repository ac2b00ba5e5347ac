#include "video_probe.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace depth {

int64_t stated_frame_count(const std::string& path) {
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) != 0) return -1;
    int64_t frames = -1;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* s = context->streams[i];
        if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            (s->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0)
            continue;
        if (s->nb_frames > 0) frames = s->nb_frames;
        break;
    }
    avformat_close_input(&context);
    return frames;
}

}  // namespace depth
