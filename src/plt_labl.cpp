// Plot labels: the six corner texts around the plot area, with overlay rows
// for plots that stack several data sets, and their drawing at the end of
// every frame.
#include "plt_labl.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "colors.h"
#include "date.h"
#include "flag.h"
#include "gks_colr.h"
#include "gks_tool.h"
#include "gks_tran.h"
#include "plt_tool.h"
#include "resrc.h"
#include "string.h"
#include "tools.h"

namespace {

constexpr int kPositions = 6;     // ul, uc, ur, ll, lc, lr
constexpr int kRows = 6;          // overlay rows
constexpr std::size_t kMaxText = 68;   // longest text a label keeps
constexpr std::size_t kMaxAppend = 59; // longest row-0 text after appending

struct LabelState {
    std::array<std::array<std::string, kRows>, kPositions> label;
    std::array<std::size_t, kPositions> label_ind{};
    std::array<bool, kPositions> single_row{};
    int overlay = 0;
    int over_base = 0;
    int num_over = 0;
    int lab_type = 0;
    Date date{kMissing, kMissing, kMissing, kMissing, kMissing, kMissing, kMissing, kMissing};
    long fhour = 0;
    PLT_label_observer observer = nullptr;
};

LabelState g_lab;

bool valid_position(int lab) { return lab >= 0 && lab < kPositions; }

// Stores a label for position `lab` the way a reader or plot module asks:
// appended to row 0 while overlays append, ignored while labels are off.
int set_label(int lab, const char* str)
{
    if (g_lab.overlay < 0)
        return 0;
    if (g_lab.lab_type < 0 && g_lab.overlay > 0)
        return PLT_label_strcat(lab, str);
    return PLT_label_strcpy(lab, str);
}

// Two-digit field as the date codes print it.
void append2(std::string& out, int v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%2.2d", v);
    out += buf;
}

}  // namespace

int PLT_init_labels()
{
    for (auto& pos : g_lab.label)
        for (auto& row : pos)
            row.clear();
    g_lab.label_ind.fill(0);
    g_lab.single_row.fill(false);
    g_lab.num_over = 0;
    return 0;
}

int PLT_label_up_left(const char* str) { return set_label(0, str); }
int PLT_label_up_center(const char* str) { return set_label(1, str); }
int PLT_label_up_right(const char* str) { return set_label(2, str); }
int PLT_label_low_left(const char* str) { return set_label(3, str); }
int PLT_label_low_center(const char* str) { return set_label(4, str); }
int PLT_label_low_right(const char* str) { return set_label(5, str); }

int PLT_label_strcpy(int lab, const char* str)
{
    if (!valid_position(lab) || g_lab.overlay < 0 || g_lab.overlay >= kRows)
        return -1;
    std::string text = str ? str : "";
    if (text.size() > kMaxText)
        return -1;
    g_lab.label[lab][g_lab.overlay] = text;
    return 0;
}

int PLT_label_strcat(int lab, const char* str)
{
    if (!valid_position(lab))
        return -1;
    std::string text = str ? str : "";
    std::string& row0 = g_lab.label[lab][0];
    std::size_t at = std::min(g_lab.label_ind[lab], row0.size());
    if (at + 1 + text.size() > kMaxAppend)
        return -1;
    row0.resize(at);
    row0 += ' ';
    row0 += text;
    return 0;
}

const char* PLT_get_label(int lab, int row)
{
    if (!valid_position(lab) || row < 0 || row >= kRows)
        return "";
    return g_lab.label[lab][row].c_str();
}

namespace {

// Sets a row number (overlay or base) limited to the last row; the row
// count grows to cover it.
void set_row(int* field, int n)
{
    *field = std::min(n, kRows - 1);
    g_lab.num_over = std::max(g_lab.num_over, *field);
}

}  // namespace

int PLT_set_overlay(int n)
{
    set_row(&g_lab.overlay, n);
    return 0;
}

int PLT_set_overlay_base(int n)
{
    set_row(&g_lab.over_base, n);
    return 0;
}

int PLT_set_num_overlay(int n)
{
    if (n < 0)
        g_lab.num_over = -n;
    else if (g_lab.num_over < n)
        g_lab.num_over = n;
    return 0;
}

int PLT_next_overlay()
{
    if (g_lab.overlay > kRows - 1)
        return -1;
    g_lab.overlay++;
    if (g_lab.lab_type > 0)
        g_lab.lab_type++;
    else if (g_lab.lab_type < 0)
        g_lab.lab_type--;
    for (int i = 0; i < kPositions; i++)
        g_lab.label_ind[i] = g_lab.label[i][0].size();
    if (g_lab.num_over < g_lab.overlay)
        g_lab.num_over = g_lab.overlay;
    return g_lab.overlay;
}

int PLT_get_overlay_base() { return g_lab.over_base; }
int PLT_get_num_over() { return g_lab.num_over; }
int PLT_get_label_type() { return g_lab.lab_type; }

int PLT_set_label_type(int v)
{
    g_lab.lab_type = v;
    return 0;
}

int PLT_label_date(Date* date)
{
    if (date)
        g_lab.date = *date;
    else
        DATE_init(&g_lab.date);
    return 0;
}

int PLT_label_for_time(long fhour)
{
    g_lab.fhour = fhour;
    return 0;
}

int PLT_label_format(const char* form, char* str)
{
    if (!str)
        return -1;
    std::string out;
    for (const char* p = form ? form : ""; *p; p++) {
        if (*p == '_') {
            out += ' ';
            continue;
        }
        if (*p != '%') {
            out += *p;
            continue;
        }
        char code = *++p;
        if (code == '\0')
            break;
        char buf[80] = "";
        Date& d = g_lab.date;
        switch (code) {
        case 'D':
            DATE_make_label(&d, buf);
            out += buf;
            break;
        case 'V':
            DATE_make_label_valid_time(static_cast<int>(g_lab.fhour), &d, buf);
            out += buf;
            break;
        case 'W':
            d.hour = kMissing;
            DATE_make_label_valid_time(static_cast<int>(g_lab.fhour), &d, buf);
            out += buf;
            break;
        case 'y': append2(out, d.year % 100); break;
        case 'm': append2(out, d.month); break;
        case 'h': append2(out, d.hour); break;
        case 'd': append2(out, d.day); break;
        case 'n': append2(out, d.min); break;
        case 'b': {
            char mon[8];
            std::snprintf(mon, sizeof mon, "%3.3s", DATE_month(d.month));
            out += mon;
            break;
        }
        case 'f':
        case 'F':
            DATE_fhour_label(buf, static_cast<int>(g_lab.fhour), code == 'F' ? 1 : 0);
            out += buf;
            break;
        case '%': out += '%'; break;
        default: break;  // unknown codes produce nothing
        }
    }
    // Callers hand an 80-character buffer.
    if (out.size() > 79)
        out.resize(79);
    std::memcpy(str, out.c_str(), out.size() + 1);
    return 0;
}

namespace {

// Applies the "label" resource: values like ul:text (single-row position)
// or ll1:text (row 1 of the lower-left label).
void apply_label_resource()
{
    static const char* const kPos[kPositions] = {"ul", "uc", "ur", "ll", "lc", "lr"};
    int count = 0;
    char** list = nullptr;
    if (RES_getvals("label", &count, &list) <= 0)
        return;
    g_lab.overlay = 0;
    for (int i = 0; i < count; i++) {
        const char* v = list[i];
        std::size_t len = std::strlen(v);
        if (len < 2)
            continue;
        int pos = -1;
        for (int k = 0; k < kPositions; k++)
            if (strnicmp(v, kPos[k], 2) == 0)
                pos = k;
        if (pos < 0)
            continue;
        char text[80];
        if (len >= 3 && v[2] == ':') {
            PLT_label_format(v + 3, text);
            PLT_label_strcpy(pos, text);
            g_lab.single_row[pos] = true;
        } else if (len >= 4 && v[2] >= '0' && v[2] <= '9') {
            PLT_label_format(len > 4 ? v + 4 : "", text);
            g_lab.overlay = std::min(v[2] - '0', kRows - 1);
            PLT_label_strcpy(pos, text);
            g_lab.overlay = 0;
        }
    }
    free_parsed_array(count, list);
}

// One column of labels: positions first..first+2 (left, centre, right),
// rows from y0 upward by h; a single-row position stops after row 0.
void print_rows(int first, int vert, const float xs[3], float y0, float h, int n)
{
    for (int k = 0; k < 3; k++) {
        const int lab = first + k;
        if (!FLAG_getplot(1 + lab))
            continue;
        GPH_text_align(k + 1, vert);
        float y = y0;
        // A row count above the table (over=0:9) spaces the rows but only
        // the six stored rows have texts.
        for (int row = 0; row < n && row < kRows; row++) {
            const std::string& s = g_lab.label[lab][row];
            if (!s.empty()) {
                Gpt p{xs[k], y};
                if (g_lab.observer)
                    g_lab.observer(lab, row, p.x, p.y, 0.75f * h, s.c_str());
                GPH_pprint(&p, s.c_str());
            }
            y += h;
            if (g_lab.single_row[lab])
                break;
        }
    }
}

}  // namespace

PLT_label_observer PLT_set_label_observer(PLT_label_observer func)
{
    PLT_label_observer old = g_lab.observer;
    g_lab.observer = func;
    return old;
}

int PLT_labels()
{
    apply_label_resource();

    Gattribs attr;
    ATTRIB_init(&attr);
    ATTRIB_get("color_text", gget_inverse() ? "black" : "white", &attr);
    PLT_mess("Labels");
    GPH_trans(1);
    Glim disp;
    GPH_get_view_size(&disp);
    Glim view;
    PLT_get_view(&view);
    GPH_line_attr(&attr);
    GPH_text_attr(&attr, 1.0f);
    GPH_text_font(nullptr);

    const float H = view.y_max - view.y_min;
    const float W = view.x_max - view.x_min;
    float M = view.y_min - disp.y_min;
    if (PLT_get_full_lab())
        M = 0.06f;

    if (PLT_border(-1) && FLAG_getplot(11))
        GPH_border(&view);

    if (M < 0.005f)
        return -1;
    if (!FLAG_getplot(0))
        return 0;

    int n = g_lab.lab_type < 0 ? 1 : (g_lab.num_over == 0 ? 1 : g_lab.num_over);
    float h = std::min(M / n, 0.03f * H);
    float g = 0.2f * h;
    if (PLT_get_full_lab())
        g = -0.2f * h - n * h;
    Gattribs text_attr = attr;
    text_attr.height = 0.75f * h;
    GPH_text_attr(&text_attr, 1.0f);

    const float xs[3] = {view.x_min + 0.01f * W, 0.5f * (view.x_min + view.x_max),
                         view.x_max - 0.01f * W};
    print_rows(0, 4, xs, view.y_max + g + g_lab.over_base * h, h, n);
    print_rows(3, 2, xs, view.y_min - g - (n - 1) * h + g_lab.over_base * h, h, n);
    return 0;
}
