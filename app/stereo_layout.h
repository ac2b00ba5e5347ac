#pragma once
// The arrangements of a converted frame that an export can write. The
// conversion leaves the frame's depth map in image 1 and, in image 2, the
// "conv" view: on the left the view with nearer pixels moved left (the right
// eye's), on the right the frame itself (the left eye's), which is a pair for
// cross-eyed viewing. Displays and glasses want the frame for the left eye
// and the shifted view for the right; each layout arranges the two so.
//
// Usage:
//   Layout layout;
//   if (!parse_layout("sbs", &layout)) { /* unknown name */ }
//   cv::Mat out(layout_size(layout, w, h), CV_8UC3);
//   compose_layout(layout, depth_words, conv_words, w, h, &scratch, &out);
//
// Threads: any; the caller owns every buffer it passes.

#include <cstdint>
#include <opencv2/core.hpp>

namespace depth {

enum class Layout {
    Cross,     // the "conv" view as it is: shifted view | frame, 2W x H
    Sbs,       // frame | shifted view, 2W x H (parallel viewing, VR players)
    HalfSbs,   // the same squeezed to W x H by area averages (3D televisions)
    Tb,        // frame over shifted view, W x 2H
    Anaglyph,  // red from the frame, green and blue from the shifted view, W x H
    Depth,     // the depth map as a grey picture, W x H
};

// Names as the command line takes them: cross, sbs, half-sbs, tb, anaglyph,
// depth. False for any other name.
bool parse_layout(const char* name, Layout* layout);
const char* layout_name(Layout layout);

// The output picture's size for frames of width x height.
cv::Size layout_size(Layout layout, int width, int height);

// Writes the layout of one converted frame into `out` (8-bit blue, green,
// red, made at layout_size when it has another size or type). `depth_words`
// is image 1 (width x height words), `conv_words` image 2 (2 width x height
// words); both 0x00RRGGBB, so blue, green, red, 0 in memory. `scratch` keeps
// the side-by-side picture that half-sbs squeezes, between calls.
void compose_layout(Layout layout, const uint32_t* depth_words, const uint32_t* conv_words,
                    int width, int height, cv::Mat* scratch, cv::Mat* out);

}  // namespace depth
