#pragma once
// The pixels of a stored image, read straight from its buffer (not through
// the public calls under test): 32-bit words, or palette indexes of an 8-bit
// image, row by row without the rows' padding.

#include <cstdint>
#include <vector>

#include "image/image_store.h"

inline std::vector<uint32_t> pixels_of(int n) {
    const kaplo::ImageWindowRecord& rec = kaplo::image_table[n];
    const int64_t stride = kaplo::image_stride(rec.width, rec.bitDepth);
    std::vector<uint32_t> out;
    for (int64_t y = 0; y < rec.height; ++y)
        for (int64_t x = 0; x < rec.width; ++x)
            out.push_back(rec.bitDepth == 32 ? kaplo::pixels32[n][y * rec.width + x]
                                             : kaplo::pixels8[n][y * stride + x]);
    return out;
}
