// Remapping and zoom: resampling an image onto another map domain or
// enlarging part of it, and the plot domain that the picture is drawn in.
#define ZEM_SAT_INTERNAL
#include "sat_tool.h"
#include "sat_tool_priv.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZEM_REMAP_AVX2 1
#endif

#include "gks_tran.h"
#include "gks_x11.h"
#include "maptran.h"
#include "mess.h"
#include "resrc.h"
#include "sat_tran.h"
#include "tools.h"

// Remapping walks the output domain row by row. Exact navigation (map
// inverse, then satellite or image-grid forward) runs only at the ends of
// remap_inc-pixel segments; the source line and element in between are
// interpolated linearly. Positions of a row are computed first, then the
// pixels are sampled, so the projection module's active domain is switched
// a few times per row rather than per pixel.

namespace {

// Largest output raster accepted (pixels); far above any screen.
constexpr std::size_t kMaxOutputPixels = std::size_t{1} << 28;

#ifdef ZEM_REMAP_AVX2
// Rounding forms of the vector products and sums: plain ones the compiler
// fuses into multiply-adds where the target has them, as AVX-512 does, and
// the positions and pixels would then differ from the scalar path's.
constexpr int kNearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
#endif

// Reads the 8-bit pixels of a record with edge replication for the lower
// and right neighbours of the last row and column. A whole row of source
// positions is sampled at once: the averaging and class settings are fixed
// per call, so each mode runs its own tight loop instead of testing them per
// pixel.
struct Sampler {
    const unsigned char* data = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    bool average = true;
    int numcut = 0;
    int cutbase = 0;
    const int* cutoff = nullptr;

    // dst[k] = value at fractional line r[k], element c[k] (0 outside the
    // image, NaN included), for k < n.
    void row(const float* r, const float* c, unsigned char* dst, std::size_t n) const
    {
        if (numcut > 0) {
            for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<unsigned char>(at_classes(r[k], c[k]));
        } else if (!average) {
            nearest_row(r, c, dst, n);
        } else {
            std::size_t k0 = 0;
#ifdef ZEM_REMAP_AVX2
            if (windowed)
                k0 = bilinear_avx512(r, c, dst, n);
            else if (wide)
                k0 = bilinear_avx2(r, c, dst, n);
#endif
            for (; k0 < n; k0 += kBlock)
                bilinear_block(r + k0, c + k0, dst + k0, std::min(kBlock, n - k0));
        }
    }

    // Set by make_sampler when the processor has AVX2 and every byte offset
    // of the image fits the 32-bit lanes of its gathers.
    bool wide = false;
    // Set when, besides, the processor has the AVX-512 byte permutes.
    bool windowed = false;

private:
    static constexpr std::size_t kBlock = 256;

    // Written so that NaN positions are outside too.
    bool inside(float r, float c) const
    {
        return r >= 0.0f && c >= 0.0f && r <= static_cast<float>(height - 1) &&
               c <= static_cast<float>(width - 1);
    }

    // Fractions above 0.5 step to the next row or column, which the edge
    // replicates onto the last one itself.
    void nearest_row(const float* r, const float* c, unsigned char* dst, std::size_t n) const
    {
        for (std::size_t k = 0; k < n; ++k) {
            const float rk = r[k], ck = c[k];
            if (!inside(rk, ck)) {
                dst[k] = 0;
                continue;
            }
            const int i = static_cast<int>(rk);
            const int j = static_cast<int>(ck);
            const int di = (rk - static_cast<float>(i) > 0.5f) & (i + 1 < height);
            const int dj = (ck - static_cast<float>(j) > 0.5f) & (j + 1 < width);
            dst[k] = data[static_cast<std::size_t>(i + di) * stride + static_cast<std::size_t>(j + dj)];
        }
    }

    // Bilinear averaging in two passes over a block: gather the four
    // neighbours and the fractions, then weigh them in a loop without
    // branches or loads that the compiler vectorises. The arithmetic is the
    // same expression, in the same order, as for a single pixel.
    void bilinear_block(const float* r, const float* c, unsigned char* dst, std::size_t n) const
    {
        alignas(16) int p00[kBlock], p01[kBlock], p10[kBlock], p11[kBlock];
        alignas(16) float fy[kBlock], fx[kBlock];
        alignas(16) int ok[kBlock];
        for (std::size_t k = 0; k < n; ++k) {
            const bool in = inside(r[k], c[k]);
            // Outside positions read pixel (0, 0) and are masked below.
            const float rk = in ? r[k] : 0.0f, ck = in ? c[k] : 0.0f;
            const int i = static_cast<int>(rk);
            const int j = static_cast<int>(ck);
            const unsigned char* row0 = data + static_cast<std::size_t>(i) * stride;
            const unsigned char* row1 = i + 1 < height ? row0 + stride : row0;
            const std::size_t j0 = static_cast<std::size_t>(j);
            const std::size_t j1 = j + 1 < width ? j0 + 1 : j0;
            p00[k] = row0[j0];
            p01[k] = row0[j1];
            p10[k] = row1[j0];
            p11[k] = row1[j1];
            fy[k] = rk - static_cast<float>(i);
            fx[k] = ck - static_cast<float>(j);
            ok[k] = in ? -1 : 0;
        }
        // The tail of a short block is padded with masked zeros: a loop over
        // the whole block has a fixed trip count, which the compiler
        // vectorises even at its cheapest cost model.
        for (std::size_t k = n; k < kBlock; ++k) {
            p00[k] = p01[k] = p10[k] = p11[k] = 0;
            fy[k] = fx[k] = 0.0f;
            ok[k] = 0;
        }
        alignas(16) int out[kBlock];
        for (std::size_t k = 0; k < kBlock; ++k) {
            const float v = (1.0f - fy[k]) * (1.0f - fx[k]) * static_cast<float>(p00[k]) +
                            (1.0f - fy[k]) * fx[k] * static_cast<float>(p01[k]) +
                            fy[k] * (1.0f - fx[k]) * static_cast<float>(p10[k]) +
                            fy[k] * fx[k] * static_cast<float>(p11[k]);
            const bool same = p00[k] == p01[k] && p00[k] == p10[k] && p00[k] == p11[k];
            // Four equal neighbours give their value exactly, whatever the
            // rounding of the weights.
            const int o = same ? p00[k] : static_cast<int>(v);
            out[k] = std::clamp(o, 0, 255) & ok[k];
        }
        for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<unsigned char>(out[k]);
    }

#ifdef ZEM_REMAP_AVX2
    // The bilinear average of eight pixels at a time: the same operations in
    // the same order as bilinear_block, lane by lane (no fused multiply-add,
    // which would round differently), so that the bytes are identical. Each
    // pixel's four neighbours come from two 32-bit gathers, at its own row
    // and at the row below: the low two bytes of each are the left and right
    // neighbours. A group with a pixel on the last row or column (whose
    // neighbours are replicated) or whose loads could pass the end of the
    // buffer goes through bilinear_block. Returns the number of pixels done,
    // a multiple of eight.
    __attribute__((target("avx2"))) std::size_t bilinear_avx2(const float* r, const float* c,
                                                               unsigned char* dst, std::size_t n) const
    {
        const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
        const __m256 rmax = _mm256_set1_ps(static_cast<float>(height - 1));
        const __m256 cmax = _mm256_set1_ps(static_cast<float>(width - 1));
        const __m256i last_i = _mm256_set1_epi32(height - 2), last_j = _mm256_set1_epi32(width - 2);
        const auto row_bytes = static_cast<int>(stride);
        const __m256i vstride = _mm256_set1_epi32(row_bytes);
        // Largest first offset whose lower-row load (4 bytes) stays inside.
        const __m256i last_off =
            _mm256_set1_epi32(static_cast<int>(static_cast<std::size_t>(height) * stride) - row_bytes - 4);
        const __m256i byte = _mm256_set1_epi32(0xFF), top = _mm256_set1_epi32(255);
        // Low byte of each 32-bit lane to the first four bytes of each half.
        const __m256i pick = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8,
                                              12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
        const auto* base = reinterpret_cast<const int*>(data);
        std::size_t k = 0;
        for (; k + 8 <= n; k += 8) {
            __m256 rk = _mm256_loadu_ps(r + k), ck = _mm256_loadu_ps(c + k);
            // Ordered comparisons: NaN positions are outside too.
            const __m256 in = _mm256_and_ps(
                _mm256_and_ps(_mm256_cmp_ps(rk, zero, _CMP_GE_OQ), _mm256_cmp_ps(ck, zero, _CMP_GE_OQ)),
                _mm256_and_ps(_mm256_cmp_ps(rk, rmax, _CMP_LE_OQ), _mm256_cmp_ps(ck, cmax, _CMP_LE_OQ)));
            rk = _mm256_and_ps(rk, in);  // outside: pixel (0, 0), masked below
            ck = _mm256_and_ps(ck, in);
            const __m256i i = _mm256_cvttps_epi32(rk), j = _mm256_cvttps_epi32(ck);
            const __m256i off = _mm256_add_epi32(_mm256_mullo_epi32(i, vstride), j);
            const __m256i odd = _mm256_or_si256(
                _mm256_or_si256(_mm256_cmpgt_epi32(i, last_i), _mm256_cmpgt_epi32(j, last_j)),
                _mm256_cmpgt_epi32(off, last_off));
            if (!_mm256_testz_si256(odd, odd)) {
                bilinear_block(r + k, c + k, dst + k, 8);
                continue;
            }
            const __m256i w0 = _mm256_i32gather_epi32(base, off, 1);
            const __m256i w1 = _mm256_i32gather_epi32(base, _mm256_add_epi32(off, vstride), 1);
            const __m256i p00 = _mm256_and_si256(w0, byte), p01 = _mm256_and_si256(_mm256_srli_epi32(w0, 8), byte);
            const __m256i p10 = _mm256_and_si256(w1, byte), p11 = _mm256_and_si256(_mm256_srli_epi32(w1, 8), byte);
            const __m256 fy = _mm256_sub_ps(rk, _mm256_cvtepi32_ps(i));
            const __m256 fx = _mm256_sub_ps(ck, _mm256_cvtepi32_ps(j));
            const __m256 gy = _mm256_sub_ps(one, fy), gx = _mm256_sub_ps(one, fx);
            __m256 v = _mm256_mul_ps(_mm256_mul_ps(gy, gx), _mm256_cvtepi32_ps(p00));
            v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(gy, fx), _mm256_cvtepi32_ps(p01)));
            v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(fy, gx), _mm256_cvtepi32_ps(p10)));
            v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_mul_ps(fy, fx), _mm256_cvtepi32_ps(p11)));
            const __m256i same = _mm256_and_si256(_mm256_cmpeq_epi32(p00, p01),
                                                  _mm256_and_si256(_mm256_cmpeq_epi32(p00, p10),
                                                                   _mm256_cmpeq_epi32(p00, p11)));
            __m256i o = _mm256_blendv_epi8(_mm256_cvttps_epi32(v), p00, same);
            o = _mm256_min_epi32(_mm256_max_epi32(o, _mm256_setzero_si256()), top);
            o = _mm256_and_si256(o, _mm256_castps_si256(in));
            o = _mm256_shuffle_epi8(o, pick);
            const __m128i lo = _mm256_castsi256_si128(o), hi = _mm256_extracti128_si256(o, 1);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + k), _mm_unpacklo_epi32(lo, hi));
        }
        return k;
    }

    // Sixteen pixels at a time without gathers: when a group's neighbours
    // all lie in five rows i0 .. i0 + 4 and 32 columns (most groups where
    // source and output pixels are of similar size; else each half of the
    // group on its own), those rows are loaded once and byte permutes pick
    // each pixel's four from two tables of four rows each. Gathers cost a
    // load per lane; these are a few instructions per group. The arithmetic
    // is bilinear_avx2's, lane by lane. Groups that do not fit go through
    // bilinear_avx2 or bilinear_block.
#pragma GCC diagnostic push
    // GCC 12 takes the undefined first operand inside its own AVX-512
    // intrinsics for an uninitialised variable.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi"))) std::size_t
    bilinear_avx512(const float* r, const float* c, unsigned char* dst, std::size_t n) const
    {
        const __m512 zero = _mm512_setzero_ps(), one = _mm512_set1_ps(1.0f);
        const __m512 rmax = _mm512_set1_ps(static_cast<float>(height - 1));
        const __m512 cmax = _mm512_set1_ps(static_cast<float>(width - 1));
        const __m512i top = _mm512_set1_epi32(255);
        std::size_t k = 0;
        for (; k + 16 <= n; k += 16) {
            __m512 rk = _mm512_loadu_ps(r + k), ck = _mm512_loadu_ps(c + k);
            // Ordered comparisons: NaN positions are outside too.
            const __mmask16 in = _mm512_cmp_ps_mask(rk, zero, _CMP_GE_OQ) & _mm512_cmp_ps_mask(ck, zero, _CMP_GE_OQ) &
                                 _mm512_cmp_ps_mask(rk, rmax, _CMP_LE_OQ) & _mm512_cmp_ps_mask(ck, cmax, _CMP_LE_OQ);
            rk = _mm512_maskz_mov_ps(in, rk);  // outside: pixel (0, 0), masked below
            ck = _mm512_maskz_mov_ps(in, ck);
            const __m512i i = _mm512_cvttps_epi32(rk), j = _mm512_cvttps_epi32(ck);
            __m512i p[4] = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512(),
                            _mm512_setzero_si512()};
            if (!window_pick(i, j, in, p) && !(window_pick(i, j, in & 0x00FF, p) && window_pick(i, j, in & 0xFF00, p))) {
                // `windowed` is only set where the gathers are usable too.
                const std::size_t done = bilinear_avx2(r + k, c + k, dst + k, 16);
                if (done < 16) bilinear_block(r + k + done, c + k + done, dst + k + done, 16 - done);
                continue;
            }
            const __m512i p00 = p[0], p01 = p[1], p10 = p[2], p11 = p[3];
            const __m512 fy = _mm512_sub_ps(rk, _mm512_cvtepi32_ps(i));
            const __m512 fx = _mm512_sub_ps(ck, _mm512_cvtepi32_ps(j));
            const __m512 gy = _mm512_sub_ps(one, fy), gx = _mm512_sub_ps(one, fx);
            __m512 v = term(gy, gx, p00);
            v = _mm512_add_round_ps(v, term(gy, fx, p01), kNearest);
            v = _mm512_add_round_ps(v, term(fy, gx, p10), kNearest);
            v = _mm512_add_round_ps(v, term(fy, fx, p11), kNearest);
            const __mmask16 same = _mm512_cmpeq_epi32_mask(p00, p01) & _mm512_cmpeq_epi32_mask(p00, p10) &
                                   _mm512_cmpeq_epi32_mask(p00, p11);
            __m512i o = _mm512_mask_mov_epi32(_mm512_cvttps_epi32(v), same, p00);
            o = _mm512_maskz_min_epi32(in, _mm512_max_epi32(o, _mm512_setzero_si512()), top);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), _mm512_cvtepi32_epi8(o));
        }
        return k;
    }

    // Weight a x b times pixel p.
    __attribute__((target("avx512f"), always_inline)) static __m512 term(__m512 a, __m512 b, __m512i p)
    {
        return _mm512_mul_round_ps(_mm512_mul_round_ps(a, b, kNearest), _mm512_cvtepi32_ps(p), kNearest);
    }

    // The four neighbours of the pixels of `sel` (rows i, columns j) into
    // their lanes of p[0..3] (upper left, upper right, lower left, lower
    // right), from the rows i0 .. i0 + 4 and 32 columns from j0 that hold
    // them all; false, with p untouched, when they do not fit.
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi"), always_inline)) bool
    window_pick(__m512i i, __m512i j, __mmask16 sel, __m512i* p) const
    {
        if (sel == 0) return true;
        const int i0 = _mm512_mask_reduce_min_epi32(sel, i), j0 = _mm512_mask_reduce_min_epi32(sel, j);
        const __m512i di = _mm512_sub_epi32(i, _mm512_set1_epi32(i0));
        const __m512i dj = _mm512_sub_epi32(j, _mm512_set1_epi32(j0));
        const __mmask16 odd = _mm512_mask_cmpgt_epi32_mask(sel, di, _mm512_set1_epi32(3)) |
                              _mm512_mask_cmpgt_epi32_mask(sel, dj, _mm512_set1_epi32(30)) |
                              _mm512_mask_cmpgt_epi32_mask(sel, i, _mm512_set1_epi32(height - 2)) |
                              _mm512_mask_cmpgt_epi32_mask(sel, j, _mm512_set1_epi32(width - 2));
        const std::size_t at = static_cast<std::size_t>(i0) * stride + static_cast<std::size_t>(j0);
        if (odd != 0 || at + 4 * stride + 32 > static_cast<std::size_t>(height) * stride) return false;
        __m256i w[5];
        for (std::size_t q = 0; q < 5; ++q)
            w[q] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + q * stride));
        // Rows i0 .. i0 + 3 for the upper neighbours, i0 + 1 .. i0 + 4 for
        // the lower ones, 32 bytes each; the byte index of a pixel is
        // 32 di + dj (and one more for its right neighbours).
        const __m512i up0 = _mm512_inserti64x4(_mm512_castsi256_si512(w[0]), w[1], 1);
        const __m512i up1 = _mm512_inserti64x4(_mm512_castsi256_si512(w[2]), w[3], 1);
        const __m512i lo0 = _mm512_inserti64x4(_mm512_castsi256_si512(w[1]), w[2], 1);
        const __m512i lo1 = _mm512_inserti64x4(_mm512_castsi256_si512(w[3]), w[4], 1);
        const __m512i ix =
            _mm512_castsi128_si512(_mm512_cvtepi32_epi8(_mm512_maskz_add_epi32(sel, _mm512_slli_epi32(di, 5), dj)));
        const __m512i ix1 = _mm512_add_epi8(ix, _mm512_set1_epi8(1));
        const __m512i picked[4] = {_mm512_permutex2var_epi8(up0, ix, up1), _mm512_permutex2var_epi8(up0, ix1, up1),
                                   _mm512_permutex2var_epi8(lo0, ix, lo1), _mm512_permutex2var_epi8(lo0, ix1, lo1)};
        for (int q = 0; q < 4; ++q)
            p[q] = _mm512_mask_mov_epi32(p[q], sel, _mm512_cvtepu8_epi32(_mm512_castsi512_si128(picked[q])));
        return true;
    }
#pragma GCC diagnostic pop
#endif

    // One pixel with class cut-offs.
    int at_classes(float r, float c) const
    {
        if (!inside(r, c)) return 0;
        int i = static_cast<int>(r);
        int j = static_cast<int>(c);
        float fy = r - static_cast<float>(i);
        float fx = c - static_cast<float>(j);
        const unsigned char* row0 = data + static_cast<std::size_t>(i) * stride;
        const unsigned char* row1 = i + 1 < height ? row0 + stride : row0;
        int j1 = j + 1 < width ? j + 1 : j;
        int p00 = row0[j], p01 = row0[j1], p10 = row1[j], p11 = row1[j1];
        if (p00 == p01 && p00 == p10 && p00 == p11) return p00;

        int subst = -1;
        bool mixed = false;
        classify(p00, p01, p10, p11, subst, mixed);
        if (!average || mixed) {
            fx = fx > 0.5f ? 1.0f : 0.0f;
            fy = fy > 0.5f ? 1.0f : 0.0f;
        }
        float v = (1.0f - fy) * (1.0f - fx) * static_cast<float>(p00) +
                  (1.0f - fy) * fx * static_cast<float>(p01) +
                  fy * (1.0f - fx) * static_cast<float>(p10) + fy * fx * static_cast<float>(p11);
        int out = static_cast<int>(v);
        if (out == subst) out = cutbase;
        return std::clamp(out, 0, 255);
    }

    // Class cut-offs: neighbours that all share one class (the base value
    // joining any class) are averaged with the base read as the class's
    // lower bound; a neighbourhood split across classes is not averaged.
    void classify(int& p00, int& p01, int& p10, int& p11, int& subst, bool& mixed) const
    {
        for (int k = 0; k <= numcut; ++k) {
            int lo = cutoff[k];
            int hi = cutoff[k + 1];
            auto in = [&](int q) { return q == cutbase || (q >= lo && q < hi); };
            int count = in(p00) + in(p01) + in(p10) + in(p11);
            if (count == 4) {
                for (int* q : {&p00, &p01, &p10, &p11})
                    if (*q == cutbase) *q = lo;
                subst = lo;
                mixed = false;
                return;
            }
            if (count > 0) mixed = true;
        }
    }
};

Sampler make_sampler(const IMG_report& image, bool use_classes)
{
    Sampler s;
    s.data = image.data;
    s.width = image.width;
    s.height = image.height;
    s.stride = static_cast<std::size_t>(image.bytes_line > 0 ? image.bytes_line : image.width);
    s.average = sat_params().pix_ave != 0;
#ifdef ZEM_REMAP_AVX2
    // Offsets up to one row and a word past the buffer must fit 32 bits.
    const std::size_t bytes = static_cast<std::size_t>(std::max(image.height, 0)) * s.stride;
    s.wide = s.stride <= (std::size_t{1} << 30) && bytes < (std::size_t{1} << 30) &&
             __builtin_cpu_supports("avx2");
    s.windowed = s.wide && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                 __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
#endif
    if (use_classes) {
        s.numcut = std::clamp(sat_params().numcut, 0, 255);
        s.cutbase = sat_params().cutbase;
        s.cutoff = sat_params().cutoff;
    }
    return s;
}

}  // namespace

SatGrid sat_grid()
{
    // AREA_line_elem type 1 gives lcor - 1 + lres * i for image line i.
    float l0 = 0.0f, e0 = 0.0f, l1 = 0.0f, e1 = 0.0f;
    AREA_line_elem(1, 0.0f, 0.0f, &l0, &e0);
    AREA_line_elem(1, 1.0f, 1.0f, &l1, &e1);
    return {l0 + 1.0f, e0 + 1.0f, l1 - l0, e1 - e0};
}

SatSize sat_target_size()
{
    if (gchk_graphics()) {
        Grectangle r{0, 0, 0, 0};
        gsel_norm_tran(2);
        gget_gviewport(&r);
        if (r.width > 0 && r.height > 0) return {r.width, r.height};
    }
    const char* geo = RES_get("geometry");
    int w = 0;
    int h = 0;
    if (geo != nullptr && std::sscanf(geo, "%dx%d", &w, &h) == 2 && w > 0 && h > 0) return {w, h};
    return {640, 427};
}

namespace {

bool image_usable(const IMG_report* image, const char* func)
{
    if (image == nullptr || image->data == nullptr || image->width <= 0 || image->height <= 0 ||
        image->bytes_line < image->width) {
        MESS_print(M_warn, "%s: no 8-bit image to resample\n", func);
        return false;
    }
    return true;
}

// A w x h byte raster, zero-filled unless every pixel is to be written.
unsigned char* alloc_pixels(int w, int h, const char* func, bool zero = true)
{
    if (w <= 0 || h <= 0 ||
        static_cast<std::size_t>(w) > kMaxOutputPixels / static_cast<std::size_t>(h)) {
        MESS_print(M_warn, "%s: output size %dx%d out of range\n", func, w, h);
        return nullptr;
    }
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    auto* p = static_cast<unsigned char*>(zero ? std::calloc(n, 1) : std::malloc(n));
    if (p == nullptr) MESS_print(M_warn, "%s: out of memory for %dx%d image\n", func, w, h);
    return p;
}

// Runs `helper` on a second thread while `work` runs on this one; both in
// turn here when no thread can be started.
template <typename H, typename W>
void with_helper(H&& helper, W&& work)
{
    std::thread t;
    try {
        t = std::thread(helper);
    } catch (const std::system_error&) {
        work();
        helper();
        return;
    }
    work();
    t.join();
}

// Source positions of the output rows [j0, j0 + rows), in the cheapest form
// that gives them back exactly. With navigation every remap_inc columns:
// the positions at the segment ends of each row (the columns between are
// interpolated when the row is sampled) and the exact positions of the
// columns in segments that cannot be interpolated. With every column
// navigated: every position. A position of -1 means no source.
struct RowSources {
    int j0 = 0, rows = 0;
    bool every_column = false;
    std::vector<float> br, bc;          // rows x segment ends
    std::vector<unsigned char> bvalid;  // the segment end can be interpolated from
    std::vector<std::size_t> first;     // rows + 1 offsets into cols, cr and cc
    std::vector<int> cols;              // columns placed exactly (all of them: empty)
    std::vector<float> cr, cc;          // their lines and elements
};

// Where output pixels of the new domain come from in the image.
class RemapLocator {
public:
    RemapLocator(const IMG_report& image, const Domain& out, int inc)
        : img_dom_(image.domain), out_dom_(out), inc_(inc), tran_sat_(SAT_get_tran_sat() != 0),
          nx_(out.nx)
    {
        MAP_domain(&out_dom_);
        MAP_get_limits(&lim_);
        dx_ = out.dx;
        dy_ = out.dy;
        // With projections only, an image without a usable grid has no source.
        img_grid_ok_ = !(img_dom_.dx == 0.0f) && !is_missing(img_dom_.clat);
        build_segments();
    }

    // Locates rows [j0, j1) into `t`. The exact navigation runs in stages,
    // each with one domain active for all rows (the projection module holds
    // one domain at a time), so that two threads can share a stage's rows.
    // Leaves the new domain active.
    void locate(int j0, int j1, RowSources& t) const
    {
        const auto rows = static_cast<std::size_t>(j1 - j0);
        const auto nx = static_cast<std::size_t>(nx_);
        t.j0 = j0;
        t.rows = j1 - j0;
        t.every_column = inc_ <= 1;
        t.first.assign(rows + 1, 0);
        t.cols.clear();
        std::vector<float> lat, lon;
        if (t.every_column) {
            for (std::size_t k = 0; k <= rows; ++k) t.first[k] = k * nx;
            t.cr.assign(rows * nx, -1.0f);
            t.cc.assign(rows * nx, -1.0f);
            // With remap_inc 0 only the projections are used.
            const bool projected = inc_ <= 0 || !tran_sat_;
            if (projected && inc_ <= 0 && !img_grid_ok_) return;
            std::vector<float> xs(nx);
            for (std::size_t k = 0; k < nx; ++k) xs[k] = lim_.x_min + static_cast<float>(k) * dx_;
            lat.resize(rows * nx);
            lon.resize(rows * nx);
            stage_untran(t, [&](std::size_t k, std::vector<float>&) {
                untran(xs.data(), nx, row_y(j0, k), &lat[k * nx], &lon[k * nx]);
            });
            stage_place(t, projected, [&](std::size_t k) {
                place(&lat[k * nx], &lon[k * nx], nx, &t.cr[k * nx], &t.cc[k * nx], projected);
            });
            return;
        }

        const std::size_t nb = bx_.size();
        t.br.resize(rows * nb);
        t.bc.resize(rows * nb);
        t.bvalid.resize(rows * nb);
        lat.resize(rows * nb);
        lon.resize(rows * nb);
        stage_untran(t, [&](std::size_t k, std::vector<float>&) {
            untran(bx_.data(), nb, row_y(j0, k), &lat[k * nb], &lon[k * nb]);
        });
        stage_place(t, !tran_sat_, [&](std::size_t k) {
            place(&lat[k * nb], &lon[k * nb], nb, &t.br[k * nb], &t.bc[k * nb], !tran_sat_);
        });
        // Segments with an end that has no source are placed column by column.
        for (std::size_t k = 0; k < rows; ++k) {
            const std::size_t b = k * nb;
            for (std::size_t s = 0; s < nb; ++s)
                t.bvalid[b + s] = !is_missing(lat[b + s]) && t.br[b + s] >= 0.0f && t.bc[b + s] >= 0.0f;
            t.first[k] = t.cols.size();
            for (std::size_t s = 0; s + 1 < nb; ++s)
                if (!t.bvalid[b + s] || !t.bvalid[b + s + 1])
                    for (int c = 0; c < seg_count_[s]; ++c) t.cols.push_back(seg_col_[s] + c);
        }
        t.first[rows] = t.cols.size();
        const std::size_t n = t.cols.size();
        t.cr.resize(n);
        t.cc.resize(n);
        if (n == 0) return;
        lat.resize(n);
        lon.resize(n);
        stage_untran(t, [&](std::size_t k, std::vector<float>& xs) {
            const std::size_t a = t.first[k], m = t.first[k + 1] - a;
            for (std::size_t i = 0; i < m; ++i) xs[i] = lim_.x_min + static_cast<float>(t.cols[a + i]) * dx_;
            untran(xs.data(), m, row_y(j0, k), &lat[a], &lon[a]);
        });
        stage_place(t, !tran_sat_, [&](std::size_t k) {
            const std::size_t a = t.first[k];
            place(&lat[a], &lon[a], t.first[k + 1] - a, &t.cr[a], &t.cc[a], !tran_sat_);
        });
    }

    // Source line and element of every column of row j (held by `t`).
    void fill(const RowSources& t, int j, float* r, float* c) const
    {
        const auto k = static_cast<std::size_t>(j - t.j0);
        const std::size_t a = t.first[k], b = t.first[k + 1];
        if (t.every_column) {
            std::copy(t.cr.begin() + static_cast<std::ptrdiff_t>(a), t.cr.begin() + static_cast<std::ptrdiff_t>(b), r);
            std::copy(t.cc.begin() + static_cast<std::ptrdiff_t>(a), t.cc.begin() + static_cast<std::ptrdiff_t>(b), c);
            return;
        }
        const std::size_t nb = bx_.size();
        const float* br = &t.br[k * nb];
        const float* bc = &t.bc[k * nb];
        const unsigned char* ok = &t.bvalid[k * nb];
#ifdef ZEM_REMAP_AVX2
        if (wide_fill_) {
            segments_avx512(br, bc, ok, r, c);
        } else
#endif
        for (std::size_t s = 0; s + 1 < nb; ++s) {
            if (!ok[s] || !ok[s + 1]) continue;
            const int first = seg_col_[s];
            const int count = seg_count_[s];
            const float rs = br[s], cs = bc[s];
            const float drs = br[s + 1] - rs, dcs = bc[s + 1] - cs;
            const float len = seg_len_[s];
            const float inv = len > 0.0f ? 1.0f / len : 0.0f;
            // Runs of eight through local arrays, which the compiler turns
            // into vector operations (the same ones, lane by lane).
            int q = 0;
            for (; q + 8 <= count; q += 8) {
                float fr[8], fc[8];
                for (int u = 0; u < 8; ++u) {
                    const float f = static_cast<float>(q + u) * inv;
                    fr[u] = rs + f * drs;
                    fc[u] = cs + f * dcs;
                }
                std::copy(fr, fr + 8, r + first + q);
                std::copy(fc, fc + 8, c + first + q);
            }
            for (; q < count; ++q) {
                const float f = static_cast<float>(q) * inv;
                r[first + q] = rs + f * drs;
                c[first + q] = cs + f * dcs;
            }
        }
        for (std::size_t i = a; i < b; ++i) {
            r[t.cols[i]] = t.cr[i];
            c[t.cols[i]] = t.cc[i];
        }
    }

private:
#ifdef ZEM_REMAP_AVX2
    // fill's interpolation sixteen columns at a time: the same products and
    // sums, lane by lane, in their rounding forms (plain ones would be
    // fused into multiply-adds).
#pragma GCC diagnostic push
    // As in the sampler: GCC 12 and the undefined operand of its intrinsics.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
    __attribute__((target("avx512f"))) void segments_avx512(const float* br, const float* bc,
                                                             const unsigned char* ok, float* r, float* c) const
    {
        const __m512 lane = _mm512_setr_ps(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        for (std::size_t s = 0; s + 1 < bx_.size(); ++s) {
            if (!ok[s] || !ok[s + 1]) continue;
            const float len = seg_len_[s];
            const __m512 inv = _mm512_set1_ps(len > 0.0f ? 1.0f / len : 0.0f);
            const __m512 rs = _mm512_set1_ps(br[s]), cs = _mm512_set1_ps(bc[s]);
            const __m512 drs = _mm512_set1_ps(br[s + 1] - br[s]), dcs = _mm512_set1_ps(bc[s + 1] - bc[s]);
            const int count = seg_count_[s];
            float* rq = r + seg_col_[s];
            float* cq = c + seg_col_[s];
            for (int q = 0; q < count; q += 16) {
                const __mmask16 m = count - q >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << (count - q)) - 1);
                // q + u is exact in a float for any row a raster can have.
                const __m512 f =
                    _mm512_mul_round_ps(_mm512_add_ps(_mm512_set1_ps(static_cast<float>(q)), lane), inv, kNearest);
                _mm512_mask_storeu_ps(rq + q, m,
                                      _mm512_add_round_ps(rs, _mm512_mul_round_ps(f, drs, kNearest), kNearest));
                _mm512_mask_storeu_ps(cq + q, m,
                                      _mm512_add_round_ps(cs, _mm512_mul_round_ps(f, dcs, kNearest), kNearest));
            }
        }
    }
#pragma GCC diagnostic pop
    const bool wide_fill_ = __builtin_cpu_supports("avx512f");
#endif

    float row_y(int j0, std::size_t k) const
    {
        return lim_.y_max - static_cast<float>(j0 + static_cast<int>(k)) * dy_;
    }

    // Runs work(k0, k1) over rows [0, rows) of a stage on two threads. The
    // first row runs alone: the first call of a domain's projection sets up
    // its constants, which the threads then only read.
    template <typename Work>
    static void split_rows(std::size_t rows, bool two, Work&& work)
    {
        if (rows == 0) return;
        work(std::size_t{0}, std::size_t{1});
        const std::size_t mid = 1 + (rows - 1) / 2;
        if (!two || rows < 4) {
            work(std::size_t{1}, rows);
            return;
        }
        with_helper([&] { work(mid, rows); }, [&] { work(std::size_t{1}, mid); });
    }

    // Map inverse in the new domain for every row of a stage; each thread
    // has its own scratch row for x positions.
    template <typename Row>
    void stage_untran(const RowSources& t, Row&& row) const
    {
        MAP_domain(&out_dom_);
        std::vector<float> xs0(static_cast<std::size_t>(nx_)), xs1(xs0.size());
        split_rows(static_cast<std::size_t>(t.rows), true, [&](std::size_t k0, std::size_t k1) {
            std::vector<float>& xs = k0 == 0 || k0 == 1 ? xs0 : xs1;
            for (std::size_t k = k0; k < k1; ++k) row(k, xs);
        });
    }

    // Image positions for every row of a stage: with the image domain's
    // projection on two threads; the satellite navigation on this one.
    template <typename Row>
    void stage_place(const RowSources& t, bool projected, Row&& row) const
    {
        if (projected) MAP_domain(&img_dom_);
        split_rows(static_cast<std::size_t>(t.rows), projected, [&](std::size_t k0, std::size_t k1) {
            for (std::size_t k = k0; k < k1; ++k) row(k);
        });
        MAP_domain(&out_dom_);
    }

    // Segment ends every inc_ columns; the last segment stops at x_max with
    // a fractional length.
    void build_segments()
    {
        if (inc_ <= 1 || nx_ <= 0) return;
        int b = 0;
        bx_.push_back(lim_.x_min);
        for (;;) {
            const float xb = lim_.x_min + static_cast<float>(b) * dx_;
            seg_col_.push_back(b);
            if (b + inc_ <= nx_ - 1) {
                bx_.push_back(xb + static_cast<float>(inc_) * dx_);
                seg_len_.push_back(static_cast<float>(inc_));
                seg_count_.push_back(inc_);
                b += inc_;
                continue;
            }
            bx_.push_back(lim_.x_max);
            seg_len_.push_back(dx_ != 0.0f ? (lim_.x_max - xb) / dx_ : 0.0f);
            seg_count_.push_back(nx_ - b);
            break;
        }
    }

    // Map inverse in the new domain (which must be active) plus the
    // longitude window: -9999 latitude for no source.
    void untran(const float* xs, std::size_t n, float y, float* lat, float* lon) const
    {
        const SAT_params& p = sat_params();
        const float clon = out_dom_.clon;
        MAP_untran_row(xs, static_cast<int>(n), y, lat, lon);
        if (is_missing(p.min_lon) && is_missing(p.max_lon)) return;
        for (std::size_t k = 0; k < n; ++k) {
            const float lo = lon[k];
            if (is_missing(lat[k])) continue;
            if ((!is_missing(p.min_lon) && lo < p.min_lon && clon - lo < 180.0f) ||
                (!is_missing(p.max_lon) && lo > p.max_lon && lo - clon < 180.0f))
                lat[k] = kMissingF;
        }
    }

    // Image line and element of n points (-1 when none). `projected` uses
    // the image domain's map projection and grid (which must be active)
    // instead of the satellite navigation.
    static void place(const float* lat, const float* lon, std::size_t n, float* pr, float* pc, bool projected)
    {
        if (projected) {
            // Grid column and row of the image domain, -9999 for no source.
            MAP_tran_grid_row(lat, lon, static_cast<int>(n), pc, pr);
            for (std::size_t k = 0; k < n; ++k) {
                if (is_missing(pc[k])) {
                    pr[k] = -1.0f;
                    pc[k] = -1.0f;
                }
            }
            return;
        }
        // Satellite navigation; a missing latitude has no source there either.
        // The navigation counts image lines from 1, the rows here from 0.
        AREA_image_row(lat, lon, static_cast<int>(n), pr, pc);
        for (std::size_t k = 0; k < n; ++k) {
            if (is_missing(pr[k]) || is_missing(pc[k])) {
                pr[k] = -1.0f;
                pc[k] = -1.0f;
            } else {
                pr[k] -= 1.0f;
                pc[k] -= 1.0f;
            }
        }
    }

    Domain img_dom_;
    Domain out_dom_;
    int inc_;
    bool tran_sat_;
    int nx_;
    MAP_limits lim_{};
    float dx_ = 0.0f;
    float dy_ = 0.0f;
    bool img_grid_ok_ = false;
    std::vector<float> bx_;        // x of the segment ends
    std::vector<int> seg_col_;     // first column of each segment
    std::vector<int> seg_count_;   // columns in each segment
    std::vector<float> seg_len_;   // interpolation length of each segment
};

}  // namespace

int SAT_sample_pixel(const IMG_report* image, float r, float c)
{
    if (image == nullptr || image->data == nullptr || image->width <= 0 || image->height <= 0)
        return 0;
    unsigned char v = 0;
    make_sampler(*image, true).row(&r, &c, &v, 1);
    return v;
}

int SAT_remap_source(const IMG_report* image, Domain* domain, int row, float* lines, float* elems)
{
    if (image == nullptr || domain == nullptr || lines == nullptr || elems == nullptr ||
        is_missing(domain->proj) || domain->nx <= 0 || row < 0 || row >= domain->ny)
        return -1;
    try {
        Domain out = *domain;
        if (is_missing(out.plon)) out.plon = out.clon;
        const RemapLocator loc(*image, out, sat_params().remap_inc);
        RowSources t;
        loc.locate(row, row + 1, t);
        loc.fill(t, row, lines, elems);
    } catch (const std::bad_alloc&) {
        MESS_print(M_warn, "SAT_remap_source: out of memory\n");
        return -1;
    }
    return 0;
}

namespace {

// ---- Positions of the last frame ----------------------------------------------
// Successive files of a loop nearly always share their navigation and are
// remapped onto the same domain: the source position of every output pixel
// is then the same, and only the sampling is left to do. The positions of
// the last remap are kept with everything they depend on; any difference
// computes them afresh.

// Largest output whose positions are kept (with navigation at every pixel,
// two floats per pixel).
constexpr std::size_t kMaxCachedPixels = std::size_t{1} << 24;

struct PositionKey {
    Domain image_domain{};
    Domain out_domain{};
    int width = 0, height = 0;
    int remap_inc = 0;
    int tran_sat = 0;
    float min_lon = 0.0f, max_lon = 0.0f;
    std::vector<unsigned char> nav;  // satellite navigation, when it is used

    bool operator==(const PositionKey& o) const
    {
        return DOM_identical(&image_domain, &o.image_domain) && DOM_identical(&out_domain, &o.out_domain) &&
               width == o.width && height == o.height && remap_inc == o.remap_inc &&
               tran_sat == o.tran_sat && min_lon == o.min_lon && max_lon == o.max_lon && nav == o.nav;
    }
};

struct PositionCache {
    bool valid = false;
    PositionKey key;
    RowSources sources;  // every row of the output
    long hits = 0;
};
PositionCache g_cache;
bool g_cache_on = true;

PositionKey key_of(const IMG_report& image, const Domain& out)
{
    PositionKey k;
    k.image_domain = image.domain;
    k.out_domain = out;
    k.width = image.width;
    k.height = image.height;
    k.remap_inc = sat_params().remap_inc;
    k.tran_sat = SAT_get_tran_sat();
    k.min_lon = sat_params().min_lon;
    k.max_lon = sat_params().max_lon;
    if (k.tran_sat != 0) k.nav = AREA_nav_key();
    return k;
}

// Samples the rows that `t` holds into `pixels` (rows of nx bytes from
// row 0), half of them on a second thread. Rows whose every position is
// kept are sampled in place; the others are filled in from their segment
// ends first.
void sample_sources(const RemapLocator& loc, const RowSources& t, const Sampler& s, unsigned char* pixels, int nx)
{
    const auto w = static_cast<std::size_t>(nx);
    std::vector<float> scratch(4 * w);  // lines and elements of a row, per thread
    auto rows = [&](int k0, int k1, float* r, float* c) {
        for (int k = k0; k < k1; ++k) {
            const int j = t.j0 + k;
            unsigned char* out = pixels + static_cast<std::size_t>(j) * w;
            if (t.every_column) {
                const std::size_t o = static_cast<std::size_t>(k) * w;
                s.row(&t.cr[o], &t.cc[o], out, w);
            } else {
                loc.fill(t, j, r, c);
                s.row(r, c, out, w);
            }
        }
    };
    const int half = t.rows / 2;
    float* a = scratch.data();
    with_helper([&] { rows(half, t.rows, a + 2 * w, a + 3 * w); }, [&] { rows(0, half, a, a + w); });
}

// Remaps into `pixels` (nx * ny of `out`). The source positions come from
// the kept ones when their key matches; otherwise they are worked out for
// all rows (kept when there are not too many), or for blocks of rows in
// turn, and sampled.
void remap_pixels(const IMG_report& image, const Domain& out, unsigned char* pixels)
{
    const int nx = out.nx, ny = out.ny;
    const std::size_t n = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
    const Sampler sampler = make_sampler(image, true);
    PositionKey key = key_of(image, out);
    const RemapLocator loc(image, out, sat_params().remap_inc);
    if (g_cache_on && g_cache.valid && g_cache.key == key) {
        ++g_cache.hits;
        MESS_print(M_out4, "Remapping with the source positions of the last frame\n");
        sample_sources(loc, g_cache.sources, sampler, pixels, nx);
        return;
    }
    g_cache.valid = false;
    if (g_cache_on && n <= kMaxCachedPixels) {
        loc.locate(0, ny, g_cache.sources);
        sample_sources(loc, g_cache.sources, sampler, pixels, nx);
        g_cache.key = std::move(key);
        g_cache.valid = true;
        return;
    }
    constexpr int kBlockRows = 512;
    RowSources block;
    for (int j0 = 0; j0 < ny; j0 += kBlockRows) {
        loc.locate(j0, std::min(ny, j0 + kBlockRows), block);
        sample_sources(loc, block, sampler, pixels, nx);
    }
}

}  // namespace

int SAT_remap_cache(int on)
{
    g_cache_on = on != 0;
    if (!g_cache_on) {
        g_cache.valid = false;
        g_cache.sources = {};
    }
    return static_cast<int>(g_cache.hits);
}

int SAT_domain_image(Domain* domain)
{
    if (domain == nullptr || is_missing(domain->proj)) return 0;
    SatSize size = sat_target_size();
    MAP_domain(domain);
    MAP_limits lim{};
    MAP_get_limits(&lim);
    if (size.w > 1) domain->dx = (lim.x_max - lim.x_min) / static_cast<float>(size.w - 1);
    if (size.h > 1) domain->dy = (lim.y_max - lim.y_min) / static_cast<float>(size.h - 1);
    domain->nx = size.w;
    domain->ny = size.h;
    return 0;
}

int SAT_remap_image(IMG_report* image, Domain* domain)
{
    if (domain == nullptr || is_missing(domain->proj)) return 0;
    MESS_print(M_mess, "Remapping image...\n");
    MESS_print(M_out2, "New domain: ");
    DOM_print(M_out1, domain);
    if (!image_usable(image, "SAT_remap_image")) return 0;

    Domain out = *domain;
    if (is_missing(out.plon)) out.plon = out.clon;
    const int nx = out.nx;
    const int ny = out.ny;
    // The sampling writes every pixel of every row.
    unsigned char* pixels = alloc_pixels(nx, ny, "SAT_remap_image", false);
    if (pixels == nullptr) return 0;

    try {
        remap_pixels(*image, out, pixels);
    } catch (const std::bad_alloc&) {
        std::free(pixels);
        MESS_print(M_warn, "SAT_remap_image: out of memory\n");
        return 0;
    }

    std::free(image->data);
    image->data = pixels;
    image->source = kSourceRemapped;
    image->width = nx;
    image->height = ny;
    image->bytes_line = image->depth * nx / 8;
    if (image->bytes_line < nx) image->bytes_line = nx;  // the buffer holds bytes
    image->domain = out;
    return 1;
}

int SAT_zoom_image(IMG_report* image, float cx, float cy, float zoom)
{
    MESS_print(M_out2, "Zooming image: %2.1fx...\n", zoom);
    if (!(zoom > 0.0f) || !std::isfinite(zoom)) {
        MESS_print(M_warn, "SAT_zoom_image: invalid zoom factor %g\n", zoom);
        return 0;
    }
    if (!image_usable(image, "SAT_zoom_image")) return 0;

    const float step = 1.0f / zoom;
    SatSize view = sat_target_size();
    const double zw = std::floor(static_cast<double>(image->width) * zoom);
    const double zh = std::floor(static_cast<double>(image->height) * zoom);
    const int new_w = zw < view.w ? static_cast<int>(zw) : view.w;
    const int new_h = zh < view.h ? static_cast<int>(zh) : view.h;
    MESS_print(M_out4, "Old image size: %dx%d\n", image->width, image->height);
    MESS_print(M_out4, "New image size: %dx%d\n", new_w, new_h);

    // Everything that can fail comes before the navigation is re-targeted:
    // a zoom that gives up must leave the record and its navigation as they
    // were.
    unsigned char* pixels = alloc_pixels(new_w, new_h, "SAT_zoom_image");
    if (pixels == nullptr) return 0;
    const auto w = static_cast<std::size_t>(new_w);
    std::vector<float> cols, rows;
    try {
        cols.resize(w);
        rows.resize(w);
    } catch (const std::bad_alloc&) {
        std::free(pixels);
        MESS_print(M_warn, "SAT_zoom_image: out of memory\n");
        return 0;
    }

    Domain& dom = image->domain;
    const bool navigated =
        image->source == kFormatArea && dom.proj == DOM_SAT && SAT_get_tran_sat() != 0;
    const float half_w = static_cast<float>(new_w) / 2.0f / zoom;
    const float half_h = static_cast<float>(new_h) / 2.0f / zoom;
    // Without a centre the zoom is about the image centre: the output covers
    // new_w / zoom source columns from x0, centred on the image.
    float x0 = static_cast<float>(image->width) / 2.0f - half_w;
    float y0 = static_cast<float>(image->height) / 2.0f - half_h;
    float clat = dom.clat, clon = dom.clon;
    const bool centred = !is_missing(cx);
    // Source column and row of the middle output pixel, whose position the
    // zoomed domain is centred on.
    auto mid_x = [&] { return x0 + static_cast<float>(new_w - 1) / 2.0f * step; };
    auto mid_y = [&] { return y0 + static_cast<float>(new_h - 1) / 2.0f * step; };

    if (!navigated) {
        if (!is_missing(dom.proj)) {
            MAP_domain(&dom);
            if (centred) {
                float x = 0.0f, y = 0.0f, gx = 0.0f, gy = 0.0f;
                MAP_tran(cx, cy, &x, &y);
                MAP_grid_untran(x, y, &gx, &gy);
                x0 = gx - half_w;
                y0 = gy - half_h;
                clat = cx;
                clon = cy;
            } else {
                float x = 0.0f, y = 0.0f;
                MAP_grid_tran(mid_x(), mid_y(), &x, &y);
                MAP_untran(x, y, &clat, &clon);
            }
        } else if (centred) {
            clat = cx;
            clon = cy;
        }
    } else {
        // The navigation's current mapping of 0-based image rows to
        // satellite lines, read back so that a second zoom starts from the
        // first one's pixels.
        const SatGrid g = sat_grid();
        if (centred) {
            float lat = cx, lon = cy, lin = kMissingF, ele = kMissingF;
            AREA_tran(2, &lat, &lon, &lin, &ele);
            x0 = (ele - g.ecor) / g.eres - half_w;
            y0 = (lin - g.lcor) / g.lres - half_h;
            clat = cx;
            clon = cy;
        } else {
            float lin = g.lcor + g.lres * mid_y(), ele = g.ecor + g.eres * mid_x();
            AREA_tran(1, &clat, &clon, &lin, &ele);
        }
        AREA_set_res(g.lcor + g.lres * y0, g.ecor + g.eres * x0, g.lres / zoom, g.eres / zoom);
        image->yoff = g.lcor + g.lres * y0;
        image->xoff = g.ecor + g.eres * x0;
    }

    // Every row samples the same columns; a column outside the image gets
    // position -1 (no source). Rows and columns between the last one and
    // the edge read the last one (the sampler replicates it).
    const Sampler s = make_sampler(*image, false);
    for (std::size_t k = 0; k < w; ++k) {
        const float x = x0 + static_cast<float>(k) * step;
        cols[k] = x >= 0.0f && x < static_cast<float>(image->width)
                      ? std::min(x, static_cast<float>(image->width - 1))
                      : -1.0f;
    }
    for (int j = 0; j < new_h; ++j) {
        const float y = y0 + static_cast<float>(j) * step;
        if (!(y >= 0.0f) || y >= static_cast<float>(image->height)) continue;
        std::fill(rows.begin(), rows.end(), std::min(y, static_cast<float>(image->height - 1)));
        s.row(rows.data(), cols.data(), pixels + static_cast<std::size_t>(j) * w, w);
    }

    dom.nx = new_w;
    dom.ny = new_h;
    if (!is_missing(dom.dx)) dom.dx /= zoom;
    if (!is_missing(dom.dy)) dom.dy /= zoom;
    dom.clat = clat;
    dom.clon = clon;
    MESS_print(M_out3, "Zoomed image domain: ");
    DOM_print(M_out3, &dom);

    std::free(image->data);
    image->data = pixels;
    image->width = new_w;
    image->height = new_h;
    image->bytes_line = image->depth * new_w / 8;
    if (image->bytes_line < new_w) image->bytes_line = new_w;
    return 0;
}

namespace {

// How many projection parameters (and whether the ellipse switch) a plot
// domain inherits from the image domain; count < 0: nothing but the code.
struct ParamCopy {
    int count;
    bool ellipse;
};

ParamCopy plot_param_copy(const IMG_report& image)
{
    const int proj = image.domain.proj;
    const bool navigated_kind =
        image.source == kFormatArea || image.source == kFormatUnisys || proj == DOM_SAT;
    if (!navigated_kind) return is_missing(proj) ? ParamCopy{-1, false} : ParamCopy{3, true};
    switch (proj) {
    case DOM_PSTEREO:
    case DOM_LATLON: return {1, false};
    case DOM_MERC:
    case DOM_LAMB: return {2, false};
    case DOM_MOLL: return {0, false};
    case DOM_SAT:
        return image.source == kFormatArea && SAT_get_tran_sat() != 0 ? ParamCopy{3, true}
                                                                      : ParamCopy{2, true};
    default: return {-1, false};
    }
}

}  // namespace

int SAT_image_setup(IMG_report* image, Domain* domain)
{
    if (image == nullptr || domain == nullptr) return 0;
    SatSize view = sat_target_size();
    DOM_init(domain);
    const Domain& src = image->domain;
    domain->proj = src.proj;

    ParamCopy copy = plot_param_copy(*image);
    if (copy.count >= 0) {
        MAP_domain(&src);
        domain->dx = src.dx;
        domain->dy = src.dy;
        float x = 0.0f, y = 0.0f, lat = kMissingF, lon = kMissingF;
        // The middle of a w-pixel row of grid points 0 .. w - 1 is (w - 1) / 2:
        // taking w / 2 would move the domain half a pixel on every re-plot
        // (each resize or redraw starts from this plot domain).
        MAP_grid_tran(static_cast<float>(view.w - 1) / 2.0f, static_cast<float>(view.h - 1) / 2.0f, &x,
                      &y);
        MAP_untran(x, y, &lat, &lon);
        domain->clat = lat;
        domain->clon = lon;
        domain->plat = src.plat;
        domain->plon = src.plon;
        for (int k = 0; k < copy.count && k < 5; ++k) domain->param[k] = src.param[k];
        if (copy.ellipse) domain->ellipse = src.ellipse;
        domain->nx = view.w;
        domain->ny = view.h;
        MESS_print(M_out2, "Plot domain: ");
        DOM_print(M_out1, domain);
    }

    const int off = sat_params().pix_off;
    if (off != 0 && image->data != nullptr && image->height > 0 && image->bytes_line > 0) {
        const std::size_t n =
            static_cast<std::size_t>(image->height) * static_cast<std::size_t>(image->bytes_line);
        for (std::size_t k = 0; k < n; ++k)
            image->data[k] = static_cast<unsigned char>(std::clamp(image->data[k] + off, 0, 255));
    }
    return 0;
}
