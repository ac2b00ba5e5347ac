#pragma once
// The pixel work of one video frame: the frame into image 0 ("source"), the
// depth map into image 1 ("depth"), the stereo pair into image 2 ("conv").
// The interactive program goes through the framework's per-pixel calls
// (convert_frame); the batch export takes the same rules as row loops over
// the images' buffers (convert_frame_by_rows), and the tests hold the two to
// the same pixels. No video library here: a frame is a pointer to blue,
// green, red bytes with its own row stride.
//
// Usage:
//   if (!frame_slots_match(w, h)) { /* re-create the windows first */ }
//   const BgrFrame f{bytes, stride, w, h};
//   convert_frame(f, depth_scale_for(w), KPL_UpdateImage);
//
// Threads: the thread that owns the image slots (the worker thread).

#include <cstddef>
#include <cstdint>

namespace depth {

inline constexpr int kSourceImage = 0;
inline constexpr int kDepthImage = 1;
inline constexpr int kConvImage = 2;

// Blue, green, red bytes, rows `stride` bytes apart (at least 3 x width).
struct BgrFrame {
    const uint8_t* bytes;
    size_t stride;
    int32_t width;
    int32_t height;
};

// The largest shift is depth_scale x 255 / 256: about a 64th of the width.
inline int32_t depth_scale_for(int32_t width) {
    return width / 64;
}

// True when images 0, 1 and 2 are live 32-bit images of width x height,
// width x height and 2 width x height. Every write below relies on it.
bool frame_slots_match(int32_t width, int32_t height);

// Where image 1's depth comes from: the brightest colour component of each
// pixel, or a map given by the caller (the motion depth, motion_depth.h).
enum class DepthSource { Bright, Motion };

// A depth map given by the caller: one byte per pixel of the frame's size,
// 0 = far and 255 = nearest, rows `stride` bytes apart.
struct DepthMap {
    const uint8_t* bytes;
    size_t stride;
};

// Called after each image is complete (KPL_UpdateImage on screen, nothing in
// a batch run).
using RefreshImage = int (*)(int number);

// The whole frame: copy into image 0, depth pass (or, with `depth`, that map
// into image 1 as grey), converted view. Writes nothing and returns false
// when the slots do not match the frame.
bool convert_frame(const BgrFrame& frame, int32_t depth_scale, RefreshImage refresh,
                   const DepthMap* depth = nullptr);

// The same three images as convert_frame, pixel for pixel, made with plain
// loops over whole rows of the images' buffers (KPL_GetImageBits) instead of
// one call per pixel: the export's path, where nothing is on screen. Each
// row is read once from the frame and written once to each image. Writes
// nothing and returns false when the slots do not match the frame. With
// `depth`, each row's depth is read from that map instead of the brightness.
bool convert_frame_by_rows(const BgrFrame& frame, int32_t depth_scale,
                           const DepthMap* depth = nullptr);

// The steps one by one (the slots must match; convert_frame checks).
void copy_frame_to_source(const BgrFrame& frame);
void depth_pass(int32_t width, int32_t height);
void depth_from_map(const DepthMap& depth, int32_t width, int32_t height);
void build_converted_view(int32_t depth_scale);

}  // namespace depth

// count packed 3-byte pixels (blue, green, red) into 0x00RRGGBB words.
void CopyBgr24ToPixels32(const uint8_t* bytes, uint32_t* words, int32_t count);
