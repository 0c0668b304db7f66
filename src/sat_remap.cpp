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
            if (wide) k0 = bilinear_avx2(r, c, dst, n);
#endif
            for (; k0 < n; k0 += kBlock)
                bilinear_block(r + k0, c + k0, dst + k0, std::min(kBlock, n - k0));
        }
    }

    // Set by make_sampler when the processor has AVX2 and every byte offset
    // of the image fits the 32-bit lanes of its gathers.
    bool wide = false;

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

unsigned char* alloc_pixels(int w, int h, const char* func)
{
    if (w <= 0 || h <= 0 ||
        static_cast<std::size_t>(w) > kMaxOutputPixels / static_cast<std::size_t>(h)) {
        MESS_print(M_warn, "%s: output size %dx%d out of range\n", func, w, h);
        return nullptr;
    }
    auto* p = static_cast<unsigned char*>(
        std::calloc(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 1));
    if (p == nullptr) MESS_print(M_warn, "%s: out of memory for %dx%d image\n", func, w, h);
    return p;
}

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
        const std::size_t n = static_cast<std::size_t>(nx_);
        lat_.resize(n + 1);
        lon_.resize(n + 1);
        pr_.resize(n + 1);
        pc_.resize(n + 1);
        xs_.resize(n + 1);
        cols_.reserve(n);
    }

    // Source line and element of every column of output row j (-1 when the
    // pixel has no source). Leaves the new domain active.
    void row(int j, float* r, float* c)
    {
        const float y = lim_.y_max - static_cast<float>(j) * dy_;
        if (inc_ <= 0) {
            exact_columns_all(y, r, c, true);
            return;
        }
        if (inc_ == 1) {  // every pixel exact: no segments to interpolate
            exact_columns_all(y, r, c, !tran_sat_);
            return;
        }
        const std::size_t nb = bx_.size();
        untran(bx_.data(), nb, y);
        locate(nb, !tran_sat_);
        // Boundary positions are kept apart: the fall-back below reuses the
        // scratch arrays.
        br_.assign(pr_.begin(), pr_.begin() + static_cast<std::ptrdiff_t>(nb));
        bc_.assign(pc_.begin(), pc_.begin() + static_cast<std::ptrdiff_t>(nb));
        bvalid_.resize(nb);
        for (std::size_t k = 0; k < nb; ++k)
            bvalid_[k] = !is_missing(lat_[k]) && br_[k] >= 0.0f && bc_[k] >= 0.0f;

        cols_.clear();
        for (std::size_t s = 0; s + 1 < nb; ++s) {
            const int first = seg_col_[s];
            const int count = seg_count_[s];
            if (!bvalid_[s] || !bvalid_[s + 1]) {
                for (int k = 0; k < count; ++k) cols_.push_back(first + k);
                continue;
            }
            const float rs = br_[s], cs = bc_[s];
            const float drs = br_[s + 1] - rs, dcs = bc_[s + 1] - cs;
            const float len = seg_len_[s];
            const float inv = len > 0.0f ? 1.0f / len : 0.0f;
            for (int k = 0; k < count; ++k) {
                const float t = static_cast<float>(k) * inv;
                r[first + k] = rs + t * drs;
                c[first + k] = cs + t * dcs;
            }
        }
        if (!cols_.empty()) exact_columns(cols_, y, r, c);
    }

private:
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
    // longitude window; fills lat_/lon_, -9999 latitude for no source.
    void untran(const float* xs, std::size_t n, float y)
    {
        const SAT_params& p = sat_params();
        const float clon = out_dom_.clon;
        MAP_untran_row(xs, static_cast<int>(n), y, lat_.data(), lon_.data());
        if (is_missing(p.min_lon) && is_missing(p.max_lon)) return;
        for (std::size_t k = 0; k < n; ++k) {
            const float lon = lon_[k];
            if (is_missing(lat_[k])) continue;
            if ((!is_missing(p.min_lon) && lon < p.min_lon && clon - lon < 180.0f) ||
                (!is_missing(p.max_lon) && lon > p.max_lon && lon - clon < 180.0f))
                lat_[k] = kMissingF;
        }
    }

    // Image line and element of the first n points of lat_/lon_ into
    // pr_/pc_ (-1 when none). `projected` uses the image domain's map
    // projection and grid instead of the satellite navigation.
    void locate(std::size_t n, bool projected)
    {
        if (projected) {
            MAP_domain(&img_dom_);
            // Grid column and row of the image domain, -9999 for no source.
            MAP_tran_grid_row(lat_.data(), lon_.data(), static_cast<int>(n), pc_.data(), pr_.data());
            for (std::size_t k = 0; k < n; ++k) {
                if (is_missing(pc_[k])) {
                    pr_[k] = -1.0f;
                    pc_[k] = -1.0f;
                }
            }
            MAP_domain(&out_dom_);
            return;
        }
        // Satellite navigation; a missing latitude has no source there either.
        // The navigation counts image lines from 1, the rows here from 0.
        AREA_image_row(lat_.data(), lon_.data(), static_cast<int>(n), pr_.data(), pc_.data());
        for (std::size_t k = 0; k < n; ++k) {
            if (is_missing(pr_[k]) || is_missing(pc_[k])) {
                pr_[k] = -1.0f;
                pc_[k] = -1.0f;
            } else {
                pr_[k] -= 1.0f;
                pc_[k] -= 1.0f;
            }
        }
    }

    void exact_columns(const std::vector<int>& cols, float y, float* r, float* c)
    {
        const std::size_t n = cols.size();
        for (std::size_t k = 0; k < n; ++k)
            xs_[k] = lim_.x_min + static_cast<float>(cols[k]) * dx_;
        untran(xs_.data(), n, y);
        locate(n, !tran_sat_);
        for (std::size_t k = 0; k < n; ++k) {
            r[cols[k]] = pr_[k];
            c[cols[k]] = pc_[k];
        }
    }

    // Every pixel of the row exact; `projected` as for locate(). With
    // remap_inc 0 (projections only) an image without a usable grid has no
    // source.
    void exact_columns_all(float y, float* r, float* c, bool projected)
    {
        const std::size_t n = static_cast<std::size_t>(nx_);
        if (projected && inc_ <= 0 && !img_grid_ok_) {
            std::fill(r, r + n, -1.0f);
            std::fill(c, c + n, -1.0f);
            return;
        }
        for (std::size_t k = 0; k < n; ++k) xs_[k] = lim_.x_min + static_cast<float>(k) * dx_;
        untran(xs_.data(), n, y);
        locate(n, projected);
        std::copy(pr_.begin(), pr_.begin() + static_cast<std::ptrdiff_t>(n), r);
        std::copy(pc_.begin(), pc_.begin() + static_cast<std::ptrdiff_t>(n), c);
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
    std::vector<float> lat_, lon_, pr_, pc_, xs_, br_, bc_;
    std::vector<char> bvalid_;
    std::vector<int> cols_;
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
        RemapLocator loc(*image, out, sat_params().remap_inc);
        loc.row(row, lines, elems);
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

// Largest output whose positions are kept (two floats per pixel).
constexpr std::size_t kMaxCachedPixels = std::size_t{1} << 24;

bool same_domain(const Domain& a, const Domain& b)
{
    bool same = a.proj == b.proj && a.plat == b.plat && a.plon == b.plon && a.clat == b.clat &&
                a.clon == b.clon && a.dx == b.dx && a.dy == b.dy && a.nx == b.nx && a.ny == b.ny &&
                a.ellipse == b.ellipse;
    for (int k = 0; k < 5; ++k) same = same && a.param[k] == b.param[k];
    return same;
}

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
        return same_domain(image_domain, o.image_domain) && same_domain(out_domain, o.out_domain) &&
               width == o.width && height == o.height && remap_inc == o.remap_inc &&
               tran_sat == o.tran_sat && min_lon == o.min_lon && max_lon == o.max_lon && nav == o.nav;
    }
};

struct PositionCache {
    bool valid = false;
    PositionKey key;
    std::vector<float> lines, elems;  // nx * ny each, -1 for no source
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

// Samples output rows [j0, j1) from the positions.
void sample_rows(const Sampler& s, const float* lines, const float* elems, unsigned char* pixels, int nx, int j0,
                 int j1)
{
    const auto w = static_cast<std::size_t>(nx);
    for (int j = j0; j < j1; ++j) {
        const std::size_t o = static_cast<std::size_t>(j) * w;
        s.row(lines + o, elems + o, pixels + o, w);
    }
}

// Remaps into `pixels` (nx * ny of `out`). The source positions come from
// the cache when its key matches; otherwise this thread works them out row
// by row (the navigation and projections are single-instance state) while a
// second thread samples every row already located, and the first joins the
// sampling when it is done.
void remap_pixels(const IMG_report& image, const Domain& out, unsigned char* pixels)
{
    const int nx = out.nx, ny = out.ny;
    const std::size_t n = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
    const Sampler sampler = make_sampler(image, true);
    const bool cacheable = g_cache_on && n <= kMaxCachedPixels;
    PositionKey key = key_of(image, out);
    if (cacheable && g_cache.valid && g_cache.key == key) {
        ++g_cache.hits;
        MESS_print(M_out4, "Remapping with the source positions of the last frame\n");
        const float* l = g_cache.lines.data();
        const float* e = g_cache.elems.data();
        with_helper([&] { sample_rows(sampler, l, e, pixels, nx, ny / 2, ny); },
                    [&] { sample_rows(sampler, l, e, pixels, nx, 0, ny / 2); });
        return;
    }
    g_cache.valid = false;
    RemapLocator loc(image, out, sat_params().remap_inc);
    if (!cacheable) {
        std::vector<float> r(static_cast<std::size_t>(nx)), c(static_cast<std::size_t>(nx));
        for (int j = 0; j < ny; ++j) {
            loc.row(j, r.data(), c.data());
            sampler.row(r.data(), c.data(), pixels + static_cast<std::size_t>(j) * static_cast<std::size_t>(nx),
                        static_cast<std::size_t>(nx));
        }
        return;
    }
    g_cache.lines.resize(n);
    g_cache.elems.resize(n);
    float* lines = g_cache.lines.data();
    float* elems = g_cache.elems.data();
    std::atomic<int> located{0};
    std::atomic<int> next{0};
    auto sample_located = [&] {
        for (int j = next++; j < ny; j = next++) {
            for (int have = located.load(); have <= j; have = located.load()) located.wait(have);
            sample_rows(sampler, lines, elems, pixels, nx, j, j + 1);
        }
    };
    std::exception_ptr failed;
    with_helper(sample_located, [&] {
        try {
            for (int j = 0; j < ny; ++j) {
                const std::size_t o = static_cast<std::size_t>(j) * static_cast<std::size_t>(nx);
                loc.row(j, lines + o, elems + o);
                located.store(j + 1);
                located.notify_all();
            }
        } catch (...) {
            // Let the sampling thread run out before the error goes on.
            failed = std::current_exception();
            next.store(ny);
            located.store(ny);
            located.notify_all();
        }
        sample_located();
    });
    if (failed) std::rethrow_exception(failed);
    g_cache.key = std::move(key);
    g_cache.valid = true;
}

}  // namespace

int SAT_remap_cache(int on)
{
    g_cache_on = on != 0;
    if (!g_cache_on) {
        g_cache.valid = false;
        g_cache.lines = {};
        g_cache.elems = {};
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
    unsigned char* pixels = alloc_pixels(nx, ny, "SAT_remap_image");
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
