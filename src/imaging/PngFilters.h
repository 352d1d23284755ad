#pragma once
// Undoing PNG's row filters (filter method 0) in place, for the picture decoders of this folder.
// `prev` is the row above, already undone (zeros above the first row); `n` bytes per row; Bpp
// bytes per pixel (1 for samples of fewer than 8 bits).

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace imaging::png_filters {

template <int Bpp>
inline void UndoSub(uint8_t* row, size_t n) {
    for (size_t i = Bpp; i < n; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + row[i - Bpp]);
    }
}

inline void UndoUp(uint8_t* row, const uint8_t* prev, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + prev[i]);
    }
}

#if defined(__SSE2__)

// One pixel of Bpp (3 or 4) bytes in the low bytes of a register, without reading past it.
template <int Bpp>
inline __m128i LoadPixel(const uint8_t* p) {
    uint32_t v = 0;
    if constexpr (Bpp == 4) {
        std::memcpy(&v, p, 4);
    } else {
        // Put together in registers: a 3-byte copy through memory stalls the following load.
        v = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
    }
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <int Bpp>
inline void StorePixel(uint8_t* p, __m128i v) {
    const auto bits = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
    std::memcpy(p, &bits, Bpp);
}

template <int Bpp>
void UndoAverageSse(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i one = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i + Bpp <= n; i += Bpp) {
        const __m128i b = LoadPixel<Bpp>(prev + i);
        // floor((a + b) / 2): the rounding-up average less the carried low bit.
        const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        a = _mm_add_epi8(LoadPixel<Bpp>(row + i), mean);
        StorePixel<Bpp>(row + i, a);
    }
}

template <int Bpp>
void UndoPaethSse(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero;  // left, 16 bits a channel
    __m128i c = zero;  // upper left
    for (size_t i = 0; i + Bpp <= n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(LoadPixel<Bpp>(prev + i), zero);
        const __m128i bc = _mm_sub_epi16(b, c);
        const __m128i ac = _mm_sub_epi16(a, c);
        const __m128i sum = _mm_add_epi16(bc, ac);
        const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(zero, bc));
        const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(zero, ac));
        const __m128i pc = _mm_max_epi16(sum, _mm_sub_epi16(zero, sum));
        const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
        // a where pa is smallest, else b where pb is, else c: the predictor's order of preference.
        const __m128i useA = _mm_cmpeq_epi16(smallest, pa);
        const __m128i useB = _mm_andnot_si128(useA, _mm_cmpeq_epi16(smallest, pb));
        const __m128i useC = _mm_andnot_si128(_mm_or_si128(useA, useB), _mm_set1_epi16(-1));
        const __m128i predicted = _mm_or_si128(_mm_or_si128(_mm_and_si128(useA, a), _mm_and_si128(useB, b)),
                                               _mm_and_si128(useC, c));
        const __m128i pixel = _mm_add_epi8(LoadPixel<Bpp>(row + i), _mm_packus_epi16(predicted, zero));
        StorePixel<Bpp>(row + i, pixel);
        a = _mm_unpacklo_epi8(pixel, zero);
        c = b;
    }
}

#endif

inline uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = b > c ? b - c : c - b;
    const int pb = a > c ? a - c : c - a;
    const int pc = a + b - 2 * c > 0 ? a + b - 2 * c : 2 * c - a - b;
    if (pa <= pb && pa <= pc) {
        return static_cast<uint8_t>(a);
    }
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

template <int Bpp>
void UndoAverageScalar(uint8_t* row, const uint8_t* prev, size_t n) {
    for (size_t i = 0; i < Bpp; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + (prev[i] >> 1));
    }
    for (size_t i = Bpp; i < n; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - Bpp] + prev[i]) >> 1));
    }
}

template <int Bpp>
void UndoPaethScalar(uint8_t* row, const uint8_t* prev, size_t n) {
    for (size_t i = 0; i < Bpp; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + prev[i]);
    }
    for (size_t i = Bpp; i < n; ++i) {
        row[i] = static_cast<uint8_t>(row[i] + PaethPredictor(row[i - Bpp], prev[i], prev[i - Bpp]));
    }
}

// The vector forms handle 3- and 4-byte pixels, the scalar forms any size.
template <int Bpp>
void UndoAverage(uint8_t* row, const uint8_t* prev, size_t n) {
#if defined(__SSE2__)
    if constexpr (Bpp == 3 || Bpp == 4) {
        UndoAverageSse<Bpp>(row, prev, n);
        return;
    }
#endif
    UndoAverageScalar<Bpp>(row, prev, n);
}

template <int Bpp>
void UndoPaeth(uint8_t* row, const uint8_t* prev, size_t n) {
#if defined(__SSE2__)
    if constexpr (Bpp == 3 || Bpp == 4) {
        UndoPaethSse<Bpp>(row, prev, n);
        return;
    }
#endif
    UndoPaethScalar<Bpp>(row, prev, n);
}

// Undoes the filter named by `filter` on one row; false for an unknown filter.
template <int Bpp>
bool UndoFilter(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n) {
    switch (filter) {
        case 0:
            return true;
        case 1:
            UndoSub<Bpp>(row, n);
            return true;
        case 2:
            UndoUp(row, prev, n);
            return true;
        case 3:
            UndoAverage<Bpp>(row, prev, n);
            return true;
        case 4:
            UndoPaeth<Bpp>(row, prev, n);
            return true;
        default:
            return false;
    }
}

// The same for a pixel size known only at run time: 1, 2, 3, 4, 6 or 8 bytes.
inline bool UndoFilterAnyBpp(int bpp, uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n) {
    switch (bpp) {
        case 1:
            return UndoFilter<1>(filter, row, prev, n);
        case 2:
            return UndoFilter<2>(filter, row, prev, n);
        case 3:
            return UndoFilter<3>(filter, row, prev, n);
        case 4:
            return UndoFilter<4>(filter, row, prev, n);
        case 6:
            return UndoFilter<6>(filter, row, prev, n);
        case 8:
            return UndoFilter<8>(filter, row, prev, n);
        default:
            return false;
    }
}

}  // namespace imaging::png_filters
