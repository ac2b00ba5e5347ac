#include "codec_choice.h"

namespace depth {

bool parse_codec(const char* name, Codec* codec) {
    static constexpr struct {
        const char* name;
        Codec codec;
    } kNames[] = {{"mjpeg", Codec::Mjpeg},
                  {"mpeg4", Codec::Mpeg4},
                  {"h264", Codec::H264},
                  {"h265", Codec::H265}};
    for (const auto& n : kNames)
        if (std::string(name) == n.name) {
            *codec = n.codec;
            return true;
        }
    return false;
}

const char* codec_name(Codec codec) {
    switch (codec) {
        case Codec::Mjpeg:
            return "mjpeg";
        case Codec::Mpeg4:
            return "mpeg4";
        case Codec::H264:
            return "h264";
        case Codec::H265:
            return "h265";
        case Codec::Default:
            break;
    }
    return "default";
}

const char* container_name(Container c) {
    switch (c) {
        case Container::Avi:
            return ".avi";
        case Container::Mp4:
            return ".mp4";
        case Container::Mkv:
            return ".mkv";
        case Container::Mov:
            return ".mov";
    }
    return "";
}

int default_quality(Codec codec) {
    return codec == Codec::H264 || codec == Codec::H265 ? 55 : 90;
}

int crf_for_quality(int quality) {
    return 51 - (quality * 51 + 50) / 100;
}

int qscale_for_quality(int quality) {
    return 31 - (quality * 29 + 50) / 100;
}

Codec codec_for(Container container, Codec asked) {
    if (asked != Codec::Default) return asked;
    return container == Container::Avi ? Codec::Mjpeg : Codec::H264;
}

bool container_takes(Container container, Codec codec, std::string* why) {
    // Motion JPEG has no registered place in MP4 that players read, and AVI
    // has none for H.265: FFmpeg would write either, and few players would
    // play the file.
    const bool fits = !(codec == Codec::Mjpeg && container == Container::Mp4) &&
                      !(codec == Codec::H265 && container == Container::Avi);
    if (!fits && why)
        *why = std::string("a ") + container_name(container) + " file cannot hold " +
               codec_name(codec) + " video (" + codec_name(codec) + " goes in " +
               (codec == Codec::Mjpeg ? ".avi, .mkv or .mov" : ".mp4, .mkv or .mov") + ")";
    return fits;
}

}  // namespace depth
