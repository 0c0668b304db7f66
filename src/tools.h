// Small helpers shared by every module: the missing-value marker, byte-order
// swapping for binary files, and bounds-checked byte getters for parsers.
#ifndef ZEM_TOOLS_H
#define ZEM_TOOLS_H

#include <cstdint>
#include <cmath>

// -9999 marks an unset or missing value in dates, domains, flags, attribute
// records, coordinate outputs and break tables. Use these, never the literal.
inline constexpr int kMissing = -9999;
inline constexpr float kMissingF = -9999.0f;

inline bool is_missing(int v) { return v == kMissing; }
inline bool is_missing(float v) { return v == kMissingF; }
inline bool is_missing(double v) { return v == static_cast<double>(kMissingF); }

#endif
