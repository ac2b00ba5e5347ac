#include "stereo_layout.h"

#include <cstring>
#include <opencv2/imgproc.hpp>

namespace depth {

namespace {

struct LayoutName {
    Layout layout;
    const char* name;
};

constexpr LayoutName kNames[] = {{Layout::Cross, "cross"},       {Layout::Sbs, "sbs"},
                                 {Layout::HalfSbs, "half-sbs"},  {Layout::Tb, "tb"},
                                 {Layout::Anaglyph, "anaglyph"}, {Layout::Depth, "depth"}};

// A view of the picture in `words` as 8-bit blue, green, red, unused; the
// pixels are only read.
cv::Mat words_view(const uint32_t* words, int width, int height) {
    return cv::Mat(height, width, CV_8UC4, const_cast<uint32_t*>(words));
}

// `from` (4 bytes a pixel) into the part `to` of a 3-byte picture.
void put(const cv::Mat& from, cv::Mat to) {
    cv::cvtColor(from, to, cv::COLOR_BGRA2BGR);
}

}  // namespace

bool parse_layout(const char* name, Layout* layout) {
    for (const LayoutName& n : kNames)
        if (std::strcmp(name, n.name) == 0) {
            *layout = n.layout;
            return true;
        }
    return false;
}

const char* layout_name(Layout layout) {
    for (const LayoutName& n : kNames)
        if (n.layout == layout) return n.name;
    return "?";
}

cv::Size layout_size(Layout layout, int width, int height) {
    switch (layout) {
        case Layout::Cross:
        case Layout::Sbs:
            return {2 * width, height};
        case Layout::Tb:
            return {width, 2 * height};
        case Layout::HalfSbs:
        case Layout::Anaglyph:
        case Layout::Depth:
            break;
    }
    return {width, height};
}

void compose_layout(Layout layout, const uint32_t* depth_words, const uint32_t* conv_words,
                    int width, int height, cv::Mat* scratch, cv::Mat* out) {
    out->create(layout_size(layout, width, height), CV_8UC3);
    const cv::Mat conv = words_view(conv_words, 2 * width, height);
    const cv::Mat shifted = conv.colRange(0, width);  // the right eye's view
    const cv::Mat frame = conv.colRange(width, 2 * width);
    switch (layout) {
        case Layout::Cross:
            put(conv, *out);
            break;
        case Layout::Sbs:
            put(frame, out->colRange(0, width));
            put(shifted, out->colRange(width, 2 * width));
            break;
        case Layout::HalfSbs:
            compose_layout(Layout::Sbs, depth_words, conv_words, width, height, nullptr, scratch);
            cv::resize(*scratch, *out, out->size(), 0, 0, cv::INTER_AREA);
            break;
        case Layout::Tb:
            put(frame, out->rowRange(0, height));
            put(shifted, out->rowRange(height, 2 * height));
            break;
        case Layout::Anaglyph: {
            // Sources' channels numbered on: shifted 0..3, frame 4..7.
            const cv::Mat sources[2] = {shifted, frame};
            const int from_to[6] = {0, 0, 1, 1, 6, 2};
            cv::mixChannels(sources, 2, out, 1, from_to, 3);
            break;
        }
        case Layout::Depth:
            put(words_view(depth_words, width, height), *out);
            break;
    }
}

}  // namespace depth
