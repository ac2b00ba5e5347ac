#pragma once
// Smoothed scaling of 0x00RRGGBB pictures for screen copies: an area average
// where a side shrinks, linear interpolation where it grows. Plain C++ (the
// scaling runs on whichever thread presents, without Qt's worker pool).

#include <cstdint>
#include <vector>

namespace kaplo::platform {

// One source index and its weight; the weights of one output sum to 256.
struct Tap {
    int32_t index;
    int32_t weight;
};

// For each of `dst` outputs along one axis, the source samples it blends.
std::vector<std::vector<Tap>> smooth_taps(int32_t src, int32_t dst);

// Scales `src` (stride in words) to dst_w x dst_h into `dst` (packed rows).
void smooth_scale(const uint32_t* src, int32_t src_w, int32_t src_h, int32_t stride, uint32_t* dst,
                  int32_t dst_w, int32_t dst_h);

}  // namespace kaplo::platform
