// Messages: every text the program shows goes through MESS_print with a
// 32-bit level mask, filtered by the current level and routed to the screen
// and log files as the "message" resource says.
#ifndef ZEM_MESS_H
#define ZEM_MESS_H

#include <cstdint>

typedef std::uint32_t M_type;

// Named level groups. Each 4-bit group holds sub-levels a, b, c and d.
inline constexpr M_type M_none = 0x0;
inline constexpr M_type M_print = 0xF;
inline constexpr M_type M_error = 0x30;
inline constexpr M_type M_warn = 0xC0;
inline constexpr M_type M_mess = 0xF00;
inline constexpr M_type M_out1 = 0xF000;
inline constexpr M_type M_out2 = 0xF0000;
inline constexpr M_type M_out3 = 0xF00000;
inline constexpr M_type M_out4 = 0xF000000;
inline constexpr M_type M_debug = 0xF0000000;

#endif
