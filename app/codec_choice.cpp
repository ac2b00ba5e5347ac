#include "codec_choice.h"

namespace depth {

namespace {

// In the order of the enumerations.
constexpr const char* kCodecNames[] = {"default", "mjpeg", "mpeg4", "h264", "h265"};
constexpr struct {
    const char* extension;
    const char* format;  // FFmpeg's muxer
} kContainers[] = {{".avi", "avi"}, {".mp4", "mp4"}, {".mkv", "matroska"}, {".mov", "mov"}};

}  // namespace

bool parse_codec(const char* name, Codec* codec) {
    for (int i = static_cast<int>(Codec::Mjpeg); i <= static_cast<int>(Codec::H265); ++i)
        if (std::string(name) == kCodecNames[i]) {
            *codec = static_cast<Codec>(i);
            return true;
        }
    return false;
}

const char* codec_name(Codec codec) {
    return kCodecNames[static_cast<int>(codec)];
}

const char* container_name(Container c) {
    return kContainers[static_cast<int>(c)].extension;
}

const char* container_format(Container c) {
    return kContainers[static_cast<int>(c)].format;
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
