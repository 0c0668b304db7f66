// Byte-order switch and bounds-checked byte getters used by every reader of
// binary files.
#include "tools.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The one swap switch: set by swap_setup, read by every swap_ call.
struct SwapState {
    bool on = false;
};
SwapState g_swap;

// Reverses `n` items of `size` bytes starting at `p`.
void reverse_items(void* p, int n, int size) {
    if (!g_swap.on || p == nullptr || n <= 0) return;
    auto* b = static_cast<unsigned char*>(p);
    for (int i = 0; i < n; ++i, b += size) std::reverse(b, b + size);
}

}  // namespace

int host_little_endian() {
    // The first byte of an integer holding 1 tells the host order.
    const int one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1 ? 1 : 0;
}

int swap_setup(int flag) {
    const bool little = host_little_endian() == 1;
    switch (flag) {
        case -1: g_swap.on = false; break;
        case 0: g_swap.on = true; break;
        case 1: g_swap.on = little; break;
        case 2: g_swap.on = !little; break;
        default: g_swap.on = false; return -1;
    }
    return g_swap.on ? 1 : 0;
}

int swap_on() { return g_swap.on ? 1 : 0; }

void swap_long(void* p) { reverse_items(p, 1, 4); }
void swap_longs(void* p, int n) { reverse_items(p, n, 4); }
void swap_short(void* p) { reverse_items(p, 1, 2); }
void swap_shorts(void* p, int n) { reverse_items(p, n, 2); }
void swap_double(void* p) { reverse_items(p, 1, 8); }
void swap_doubles(void* p, int n) { reverse_items(p, n, 8); }

namespace {

// Unsigned value of `len` bytes at `off`, in the given order.
std::optional<std::uint32_t> get_uint(ByteView buf, std::size_t off, std::size_t len,
                                      ByteOrder order) {
    if (off > buf.size() || len > buf.size() - off) return std::nullopt;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < len; ++i) {
        const std::size_t k = order == ByteOrder::big ? i : len - 1 - i;
        v = (v << 8) | buf[off + k];
    }
    return v;
}

}  // namespace

std::optional<std::uint8_t> get_u8(ByteView buf, std::size_t off) {
    if (off >= buf.size()) return std::nullopt;
    return buf[off];
}

std::optional<std::uint16_t> get_u16(ByteView buf, std::size_t off, ByteOrder order) {
    auto v = get_uint(buf, off, 2, order);
    if (!v) return std::nullopt;
    return static_cast<std::uint16_t>(*v);
}

std::optional<std::uint32_t> get_u32(ByteView buf, std::size_t off, ByteOrder order) {
    return get_uint(buf, off, 4, order);
}

std::optional<std::int16_t> get_i16(ByteView buf, std::size_t off, ByteOrder order) {
    auto v = get_u16(buf, off, order);
    if (!v) return std::nullopt;
    return static_cast<std::int16_t>(*v);
}

std::optional<std::int32_t> get_i32(ByteView buf, std::size_t off, ByteOrder order) {
    auto v = get_u32(buf, off, order);
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::optional<ByteView> get_bytes(ByteView buf, std::size_t off, std::size_t len) {
    if (off > buf.size() || len > buf.size() - off) return std::nullopt;
    return buf.subspan(off, len);
}

std::optional<std::size_t> checked_area(long long a, long long b, long long limit) {
    if (a < 0 || b < 0 || limit < 0) return std::nullopt;
    if (a != 0 && b > limit / a) return std::nullopt;
    return static_cast<std::size_t>(a * b);
}

std::optional<std::size_t> checked_volume(long long a, long long b, long long c,
                                          long long limit) {
    auto ab = checked_area(a, b, limit);
    if (!ab) return std::nullopt;
    return checked_area(static_cast<long long>(*ab), c, limit);
}

void advise_huge_pages(void* p, std::size_t n) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    const auto a = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const auto e = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(kHuge - 1);
    if (p != nullptr && e > a) madvise(reinterpret_cast<void*>(a), e - a, MADV_HUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}
