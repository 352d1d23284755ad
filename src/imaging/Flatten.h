#pragma once
// Laying a pixel with straight (not premultiplied) alpha on white paper, stored blue, green, red.
// Both picture decoders use it, so a picture comes out the same whichever decoder read it.

#include <cstdint>

namespace imaging {

// A channel c with alpha a becomes c * a / 255 (rounded) + 255 - a.
inline uint8_t FlattenChannel(uint32_t channel, uint32_t alpha) {
    return static_cast<uint8_t>((channel * alpha + 127) / 255 + 255 - alpha);
}

inline void StoreFlattenedBgr(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha, uint8_t* target) {
    if (alpha == 255) {
        target[0] = static_cast<uint8_t>(blue);
        target[1] = static_cast<uint8_t>(green);
        target[2] = static_cast<uint8_t>(red);
        return;
    }
    target[0] = FlattenChannel(blue, alpha);
    target[1] = FlattenChannel(green, alpha);
    target[2] = FlattenChannel(red, alpha);
}

}  // namespace imaging
