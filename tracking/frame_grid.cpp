#include "tracking/frame_grid.h"

#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

#ifdef __SSE2__
// Channel sums of single pixels, eight at a time.
int sampleSingles(const uint8_t* pixels, int count, uint16_t* out) {
    const __m128i evenBytes = _mm_set1_epi32(0x00FF00FF), lowByte = _mm_set1_epi32(0xFF), ones = _mm_set1_epi16(1);
    auto sumsOfFour = [&](const uint8_t* p) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i pairs = _mm_add_epi16(_mm_and_si128(v, evenBytes), _mm_and_si128(_mm_srli_epi32(v, 8), lowByte));
        return _mm_madd_epi16(pairs, ones);
    };
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i sums = _mm_packs_epi32(sumsOfFour(pixels + 4 * i), sumsOfFour(pixels + 4 * i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), sums);
    }
    return i;
}

// Means of pixel pairs, eight per store: each load's two pair sums (low 16 bits of its 64-bit
// lanes) are gathered four loads at a time into one vector of eight.
int samplePairs(const uint8_t* pixels, int count, uint16_t* out) {
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF), zero = _mm_setzero_si128();
    auto pairSums = [&](const uint8_t* p) {  // two pairs' sums in dwords 0 and 1
        const __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), colour);
        return _mm_shuffle_epi32(_mm_sad_epu8(v, zero), _MM_SHUFFLE(3, 1, 2, 0));
    };
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const uint8_t* p = pixels + 8 * i;
        const __m128i low = _mm_unpacklo_epi64(pairSums(p), pairSums(p + 16));
        const __m128i high = _mm_unpacklo_epi64(pairSums(p + 32), pairSums(p + 48));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_srli_epi16(_mm_packs_epi32(low, high), 1));
    }
    for (; i + 2 <= count; i += 2) {
        const __m128i sums = pairSums(pixels + 8 * i);
        out[i] = static_cast<uint16_t>(_mm_cvtsi128_si32(sums) >> 1);
        out[i + 1] = static_cast<uint16_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 4)) >> 1);
    }
    return i;
}

// Byte sums of the colour channels of one run of `step` (a multiple of 4) pixels, as two halves in
// the low 32 bits of each 64-bit lane; the fourth byte of each pixel is masked off.
__m128i runHalves(const uint8_t* p, int step) {
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF), zero = _mm_setzero_si128();
    __m128i total = zero;
    for (int k = 0; k < step; k += 4) {
        const __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * k)), colour);
        total = _mm_add_epi64(total, _mm_sad_epu8(v, zero));
    }
    return total;
}

// Means of runs of `step` (a multiple of 4) pixels, four runs at a time: the halves of the four
// runs are gathered into two vectors and added, so one shift and one store serve four points.
// Fixed is the step when known at compile time (the search's usual 4), else 0.
template <int Fixed>
int sampleRuns(const uint8_t* pixels, int step, int count, int shift, uint16_t* out) {
    if (Fixed != 0) step = Fixed;
    const size_t run = static_cast<size_t>(step) * 4;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const uint8_t* p = pixels + i * run;
        const __m128 h01 = _mm_shuffle_ps(_mm_castsi128_ps(runHalves(p, step)), _mm_castsi128_ps(runHalves(p + run, step)),
                                          _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 h23 = _mm_shuffle_ps(_mm_castsi128_ps(runHalves(p + 2 * run, step)),
                                          _mm_castsi128_ps(runHalves(p + 3 * run, step)), _MM_SHUFFLE(2, 0, 2, 0));
        const __m128i first = _mm_castps_si128(_mm_shuffle_ps(h01, h23, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i second = _mm_castps_si128(_mm_shuffle_ps(h01, h23, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m128i means = _mm_srl_epi32(_mm_add_epi32(first, second), _mm_cvtsi32_si128(shift));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(means, means));
    }
    for (; i < count; i++) {
        const __m128i total = runHalves(pixels + i * run, step);
        out[i] = static_cast<uint16_t>((_mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_srli_si128(total, 8))) >> shift);
    }
    return count;
}
#endif

// Channel sums of `count` runs of `step` pixels each, as means.
void sampleRow(const uint8_t* pixels, int step, int count, uint16_t* out) {
    const int shift = std::countr_zero(static_cast<unsigned>(step));
    int i = 0;
#ifdef __SSE2__
    if (step == 1) i = sampleSingles(pixels, count, out);
    if (step == 2) i = samplePairs(pixels, count, out);
    if (step == 4) i = sampleRuns<4>(pixels, step, count, shift, out);
    if (step > 4) i = sampleRuns<0>(pixels, step, count, shift, out);
#endif
    for (; i < count; i++) {
        const uint8_t* p = pixels + static_cast<size_t>(i) * step * 4;
        int sum = 0;
        for (int k = 0; k < step; k++) sum += p[4 * k] + p[4 * k + 1] + p[4 * k + 2];
        out[i] = static_cast<uint16_t>(sum >> shift);
    }
}

}  // namespace

void sampleFrameGrid(const uint8_t* frame, int frameWidth, int x0, int y0, int step, int width, int height,
                     FrameGrid* grid) {
    grid->x0 = x0, grid->y0 = y0, grid->step = step;
    grid->width = width, grid->height = height;
    grid->sums.resize(static_cast<size_t>(width) * height);
    for (int gy = 0; gy < height; gy++) {
        const size_t y = static_cast<size_t>(y0) + static_cast<size_t>(step) * gy + step / 2;
        sampleRow(frame + (y * frameWidth + x0) * 4, step, width, grid->sums.data() + static_cast<size_t>(gy) * width);
    }
}
