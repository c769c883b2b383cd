#include "tracking/dark_mask.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

inline int channelSum(const uint8_t* p) { return p[0] + p[1] + p[2]; }

#ifdef __SSE2__
// Channel sums of four pixels as 32-bit lanes (the fourth byte left out).
inline __m128i sumsOfFour(const uint8_t* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i evenBytes = _mm_and_si128(v, _mm_set1_epi32(0x00FF00FF));            // b0, b2
    const __m128i oddByte = _mm_and_si128(_mm_srli_epi32(v, 8), _mm_set1_epi32(0xFF));  // b1
    return _mm_madd_epi16(_mm_add_epi16(evenBytes, oddByte), _mm_set1_epi16(1));
}

// 0 or 1 per pixel for sixteen pixels, given their four 32-bit comparison masks.
inline void storeSixteen(__m128i a, __m128i b, __m128i c, __m128i d, uint8_t* dark) {
    const __m128i bytes = _mm_packs_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dark), _mm_and_si128(bytes, _mm_set1_epi8(1)));
}
#endif

}  // namespace

void markDarkPixels(const uint8_t* pixels, int count, int limit, uint8_t* dark) {
    int i = 0;
#ifdef __SSE2__
    const __m128i above = _mm_set1_epi32(limit + 1);  // sum <= limit  <=>  limit + 1 > sum
    for (; i + 16 <= count; i += 16) {
        const uint8_t* p = pixels + 4 * i;
        storeSixteen(_mm_cmpgt_epi32(above, sumsOfFour(p)), _mm_cmpgt_epi32(above, sumsOfFour(p + 16)),
                     _mm_cmpgt_epi32(above, sumsOfFour(p + 32)), _mm_cmpgt_epi32(above, sumsOfFour(p + 48)),
                     dark + i);
    }
#endif
    for (; i < count; i++) dark[i] = channelSum(pixels + 4 * i) <= limit;
}

void markDarkPixelsVarying(const uint8_t* pixels, int count, const int* limits, uint8_t* dark) {
    int i = 0;
#ifdef __SSE2__
    const __m128i one = _mm_set1_epi32(1);
    auto test = [&](int k) {
        const __m128i above = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(limits + i + k)), one);
        return _mm_cmpgt_epi32(above, sumsOfFour(pixels + 4 * (i + k)));
    };
    for (; i + 16 <= count; i += 16) storeSixteen(test(0), test(4), test(8), test(12), dark + i);
#endif
    for (; i < count; i++) dark[i] = channelSum(pixels + 4 * i) <= limits[i];
}

void markDarkSums(const uint16_t* sums, int count, int limit, uint8_t* dark) {
    int i = 0;
#ifdef __SSE2__
    // Sums are at most 765 and the limit is clamped to -1 .. 765, so signed 16-bit lanes hold both.
    const __m128i above = _mm_set1_epi16(static_cast<int16_t>(std::clamp(limit, -1, 765) + 1));
    for (; i + 16 <= count; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i + 8));
        const __m128i bytes = _mm_packs_epi16(_mm_cmpgt_epi16(above, a), _mm_cmpgt_epi16(above, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dark + i), _mm_and_si128(bytes, _mm_set1_epi8(1)));
    }
#endif
    for (; i < count; i++) dark[i] = sums[i] <= limit;
}
