// Flags and draw components: the decoded settings that reach every module.
#include "flag.h"

#include <array>

#include "tools.h"

namespace {

struct FlagState {
    std::array<long, FLAG_COUNT> flags;
    std::array<int, PLOT_COUNT> plot_it;
    FlagState()
    {
        flags.fill(kMissing);
        plot_it.fill(1);
    }
};

FlagState g_flag;

bool flag_ok(int n) { return n >= 0 && n < FLAG_COUNT; }
bool plot_ok(int i) { return i >= 0 && i < PLOT_COUNT; }

}  // namespace

int FLAG_get(int n)
{
    return flag_ok(n) ? static_cast<int>(g_flag.flags[static_cast<std::size_t>(n)]) : 0;
}

int FLAG_set(int n, int v)
{
    return FLAG_setl(n, v);
}

int FLAG_reset(int v)
{
    return FLAG_resetl(v);
}

long FLAG_getl(int n)
{
    return flag_ok(n) ? g_flag.flags[static_cast<std::size_t>(n)] : 0;
}

int FLAG_setl(int n, long v)
{
    if (!flag_ok(n))
        return -1;
    g_flag.flags[static_cast<std::size_t>(n)] = v;
    return 0;
}

int FLAG_resetl(long v)
{
    g_flag.flags.fill(v);
    return 0;
}

int FLAG_batch()
{
    return FLAG_getl(FLAG_BATCH) > 0 ? 1 : 0;
}

int FLAG_help()
{
    return FLAG_getl(FLAG_HELP) > 0 ? 1 : 0;
}

int FLAG_set_batch(int v)
{
    return FLAG_setl(FLAG_BATCH, v);
}

int FLAG_setplot(int i, int v)
{
    if (!plot_ok(i))
        return -1;
    auto& p = g_flag.plot_it;
    p[static_cast<std::size_t>(i)] = v;
    if (i == PLOT_ALL)
        for (int k = 0; k < PLOT_ALL; ++k)
            p[static_cast<std::size_t>(k)] = v;
    if (i == PLOT_TEXT)
        for (int k = PLOT_TEXT_UL; k <= PLOT_TEXT_LR; ++k)
            p[static_cast<std::size_t>(k)] = v;
    // The two sums are derived: "text" is on while any corner text is, and
    // "all" while anything is drawn.
    int text = 0;
    for (int k = PLOT_TEXT_UL; k <= PLOT_TEXT_LR; ++k)
        text += p[static_cast<std::size_t>(k)];
    p[PLOT_TEXT] = text;
    int all = 0;
    for (int k = 0; k < PLOT_ALL; ++k)
        all += p[static_cast<std::size_t>(k)];
    p[PLOT_ALL] = all;
    return 0;
}

int FLAG_getplot(int i)
{
    return plot_ok(i) ? g_flag.plot_it[static_cast<std::size_t>(i)] : 0;
}

int FLAG_resetplot(int v)
{
    g_flag.plot_it.fill(v);
    return 0;
}
