#pragma once
// The colour-table entry nearest to a colour (squared RGB distance, first
// entry on ties), with a cache: pictures repeat their colours a lot. Plain
// C++, shared by the GIF encoder and by loading into 8-bit images.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kaplo::platform {

class NearestColour {
  public:
    // `table` holds `count` (at most 256) 0x00RRGGBB entries and must outlive this.
    NearestColour(const uint32_t* table, size_t count)
        : table_(table), count_(count > 256 ? 256 : count), cache_(std::make_unique<Cache>()) {
        for (auto& k : cache_->keys) k = kEmpty;
    }
    uint8_t operator()(uint32_t colour) {
        colour &= 0x00FFFFFFu;
        const uint32_t slot = (colour * 2654435761u) >> (32 - kCacheBits);
        if (cache_->keys[slot] != colour) {
            cache_->keys[slot] = colour;
            cache_->values[slot] = search(colour);
        }
        return cache_->values[slot];
    }

  private:
    static constexpr int kCacheBits = 14;
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;  // no 0x00RRGGBB colour looks like it
    struct Cache {
        uint32_t keys[1 << kCacheBits];
        uint8_t values[1 << kCacheBits] = {};
    };

    uint8_t search(uint32_t colour) const {
        const int r = (colour >> 16) & 255, g = (colour >> 8) & 255, b = colour & 255;
        size_t best = 0;
        int best_distance = INT32_MAX;
        for (size_t i = 0; i < count_ && best_distance > 0; ++i) {
            const int dr = r - static_cast<int>((table_[i] >> 16) & 255);
            const int dg = g - static_cast<int>((table_[i] >> 8) & 255);
            const int db = b - static_cast<int>(table_[i] & 255);
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < best_distance) best = i, best_distance = distance;
        }
        return static_cast<uint8_t>(best);
    }

    const uint32_t* table_;
    size_t count_;
    std::unique_ptr<Cache> cache_;
};

}  // namespace kaplo::platform
