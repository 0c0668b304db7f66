// Small helpers shared by every module: the missing-value marker, byte-order
// swapping for binary files, and bounds-checked byte getters for parsers.
#ifndef ZEM_TOOLS_H
#define ZEM_TOOLS_H

#include <cstddef>
#include <cstdint>
#include <cmath>
#include <optional>
#include <span>

// -9999 marks an unset or missing value in dates, domains, flags, attribute
// records, coordinate outputs and break tables. Use these, never the literal.
inline constexpr int kMissing = -9999;
inline constexpr float kMissingF = -9999.0f;

inline bool is_missing(int v) { return v == kMissing; }
inline bool is_missing(float v) { return v == kMissingF; }
inline bool is_missing(double v) { return v == static_cast<double>(kMissingF); }

// ---- Byte-order switch ----------------------------------------------------
// swap_setup fixes whether the swap_ functions below reverse bytes:
//   -1 never; 0 always; 1 data are big-endian (swap on a little-endian host);
//    2 data are little-endian (swap on a big-endian host).
// Returns 1 when swapping is now on, 0 when off (-1 for an unknown flag,
// which turns swapping off).
int swap_setup(int flag);
// 1 when the swap switch is on.
int swap_on();
// 1 when the host stores the least significant byte first.
int host_little_endian();

// Each reverses the bytes of one (or n consecutive) 4-, 2- or 8-byte items
// in place when the switch is on; nothing otherwise. `p` need not be aligned.
void swap_long(void* p);
void swap_longs(void* p, int n);
void swap_short(void* p);
void swap_shorts(void* p, int n);
void swap_double(void* p);
void swap_doubles(void* p, int n);

// Unconditional reversal helpers.
inline std::uint16_t byte_reverse16(std::uint16_t v) {
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
inline std::uint32_t byte_reverse32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// ---- Bounds-checked getters -----------------------------------------------
// Every getter returns std::nullopt when the value would reach past the end
// of `buf` (including offsets whose sum overflows).
enum class ByteOrder { big, little };

using ByteView = std::span<const std::uint8_t>;

std::optional<std::uint8_t> get_u8(ByteView buf, std::size_t off);
std::optional<std::uint16_t> get_u16(ByteView buf, std::size_t off, ByteOrder order);
std::optional<std::uint32_t> get_u32(ByteView buf, std::size_t off, ByteOrder order);
std::optional<std::int16_t> get_i16(ByteView buf, std::size_t off, ByteOrder order);
std::optional<std::int32_t> get_i32(ByteView buf, std::size_t off, ByteOrder order);
// A sub-view of `len` bytes at `off`, or nullopt when it does not fit.
std::optional<ByteView> get_bytes(ByteView buf, std::size_t off, std::size_t len);

// ---- Size arithmetic ------------------------------------------------------
// a*b (and a*b*c) as a byte count, or nullopt when a factor is negative or
// the product exceeds `limit` (default: what a signed int can index).
std::optional<std::size_t> checked_area(long long a, long long b,
                                        long long limit = 0x7FFFFFFFLL);
std::optional<std::size_t> checked_volume(long long a, long long b, long long c,
                                          long long limit = 0x7FFFFFFFLL);

// ---- Large buffers ----------------------------------------------------------
// Asks the kernel to back the whole 2 MB pages inside [p, p + n) with huge
// pages. For a fresh buffer of many megabytes, before it is first written:
// it then costs a few dozen page faults instead of thousands. A hint only;
// nothing happens where the system does not take it.
void advise_huge_pages(void* p, std::size_t n);

#endif
