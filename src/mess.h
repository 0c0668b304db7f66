// Messages: every text the program shows goes through MESS_print with a
// 32-bit level mask, filtered by the current level and routed to the screen
// and log files as the "message" resource says.
#ifndef ZEM_MESS_H
#define ZEM_MESS_H

#include <cstdarg>
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

// Sub-level masks over the whole word (bit a, b, c, d of every group).
inline constexpr M_type M_sub_a = 0x11111111;
inline constexpr M_type M_sub_b = 0x22222222;
inline constexpr M_type M_sub_c = 0x44444444;
inline constexpr M_type M_sub_d = 0x88888888;

// Destination modes for MESS_set_out.
inline constexpr int MESS_OUT_LOG_ONLY = 0;     // log file only, nothing on screen
inline constexpr int MESS_OUT_SCREEN = 1;       // screen, and the log file if open
inline constexpr int MESS_OUT_STAMPED = -1;     // screen and time-stamped log
inline constexpr int MESS_OUT_PER_MESSAGE = 2;  // screen and a log opened per message

// Prints a printf-style message when `mess` shares a bit with the current
// level: to the copy file (MESS_file), to the log file, then to the screen
// (standard error for error and warn bits, standard output otherwise).
// Returns 1 when the message reached the screen, 0 otherwise.
int MESS_print(M_type mess, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// The same with a va_list, for modules that wrap their own printing.
int MESS_vprint(M_type mess, const char* format, va_list args);

// Sets the level by code: 0/10/20 set `mask` with every lower bit, 1/11/21
// add it, -1/9/19 remove it. Codes below 5 count as explicit settings and
// codes above 15 are ignored once the level was set explicitly. Returns 0.
int MESS_set(int code, M_type mask);
// Applies a "message" resource value (comma-separated level words, log file
// items, "page", "nopage", "line=N"; blanks around an item are ignored).
// Counts as an explicit setting. Returns 0, -1 for a null string.
int MESS_set_str(const char* str);
M_type MESS_get();
// 1 when the current level shares a bit with `mask`.
int MESS_check(M_type mask);
// Number of explicit level settings so far.
int MESS_check_set();
// Opens a copy file that receives every printed message (mode as fopen,
// null means "w"). Returns 0, -1 when it cannot be opened.
int MESS_file(const char* name, const char* mode);
int MESS_file_close();
// Sets the destination mode (see the MESS_OUT_ constants); returns the old one.
int MESS_set_out(int out);
// 0 never pause, 1 pause only on request (MESS_hold), 2 pause every page.
// Returns the old setting.
int MESS_set_page(int page);
// Prints `str` and waits for a line on standard input, unless the level is
// off, output goes to the log only, the program runs in batch mode or paging
// is off. Returns 1 when it waited, 0 otherwise.
int MESS_hold(M_type mess, const char* str);
int MESS_get_max_lines();
// Prints the program title "      <name> (Ver <version>)" at level mess.
int MESS_print_prog(const char* name);
// Back to the start-up state: level print..out2, no explicit settings,
// screen mode, paging on request, 22 lines, copy and log files closed.
int MESS_reset();

#endif
