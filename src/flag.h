// Flags: a small table of integer settings decoded once at start-up and read
// by every module (workstation type, plot type, input format, file
// parameter, batch, help), and the draw-component switches that say which
// parts of a plot are drawn.
#ifndef ZEM_FLAG_H
#define ZEM_FLAG_H

// Flag numbers used by this program.
inline constexpr int FLAG_WS_TYPE = 2;      // workstation type from "device"
inline constexpr int FLAG_DOMAIN = 5;       // domain state of the domain decoder
inline constexpr int FLAG_PLOT_TYPE = 11;   // plot type code from "plot_type"
inline constexpr int FLAG_INPUT = 14;       // input format code
inline constexpr int FLAG_FILE_PARAM = 15;  // 1 over, 2 append, 3 use
inline constexpr int FLAG_BATCH = 19;       // > 0: batch mode
inline constexpr int FLAG_HELP = 20;        // > 0: help requested
inline constexpr int FLAG_COUNT = 30;

// Draw components (FLAG_getplot index).
inline constexpr int PLOT_TEXT = 0;   // sum of the six corner texts
inline constexpr int PLOT_TEXT_UL = 1;
inline constexpr int PLOT_TEXT_UC = 2;
inline constexpr int PLOT_TEXT_UR = 3;
inline constexpr int PLOT_TEXT_LL = 4;
inline constexpr int PLOT_TEXT_LC = 5;
inline constexpr int PLOT_TEXT_LR = 6;
inline constexpr int PLOT_DATA = 7;
inline constexpr int PLOT_MAP = 8;
inline constexpr int PLOT_GRID = 9;
inline constexpr int PLOT_SUM = 10;
inline constexpr int PLOT_BORDER = 11;
inline constexpr int PLOT_ALL = 12;   // sum of 0..11
inline constexpr int PLOT_COUNT = 13;

// Flag n (0..29); 0 for a number outside the table.
int FLAG_get(int n);
// Sets flag n; -1 for a number outside the table, else 0.
int FLAG_set(int n, int v);
// Sets all 30 flags to v. Returns 0.
int FLAG_reset(int v);
// The same operations on the full long values.
long FLAG_getl(int n);
int FLAG_setl(int n, long v);
int FLAG_resetl(long v);
// 1 when flag 19 (batch) / flag 20 (help) is above 0.
int FLAG_batch();
int FLAG_help();
// Sets flag 19. Returns 0.
int FLAG_set_batch(int v);

// Sets draw component i; i = 12 also sets 0..11, i = 0 also sets 1..6; then
// entry 0 becomes the sum of 1..6 and entry 12 the sum of 0..11. Returns 0,
// -1 for an index outside 0..12.
int FLAG_setplot(int i, int v);
// Draw component i; 0 outside 0..12.
int FLAG_getplot(int i);
// Sets all 13 components to v without recomputing the sums. Returns 0.
int FLAG_resetplot(int v);

#endif
