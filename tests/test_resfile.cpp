// Resource files: directives and tags, key patterns, directories, and files
// that are damaged or hostile; plus the text helpers the reader is built on.
#include <gtest/gtest.h>

#include <sys/ipc.h>
#include <sys/msg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "def_read.h"
#include "mess.h"
#include "mqueue.h"
#include "res_fixture.h"
#include "resrc.h"
#include "string.h"

namespace {

using ResFile = ResTest;

// Counts non-overlapping occurrences of `what` in `text`.
int count_of(const std::string& text, const std::string& what)
{
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size()))
        ++n;
    return n;
}

TEST_F(ResFile, LineForms)
{
    write(".zemdef",
          "# a comment line\n"
          "#orlo.title: commented out\n"
          "\n"
          "   \n"
          "ORLO.TITLE: \"Two words\" trailing\n"
          "orlo.label \"unterminated quote\n"
          "*geometry:\t800x600+0+0\r\n"
          "plot_domain us\n"
          "orlo*domain: dom\n"
          "orlo.background:\n"
          "orlo.device p extra words\n"
          "orlo.undeclared_thing: yes\n"
          "other.foreign_thing: no\n"
          "*wild_thing: w\n");
    run({});
    EXPECT_EQ(get("title"), "Two words");
    EXPECT_EQ(get("label"), "unterminated quote");
    EXPECT_EQ(get("geometry"), "800x600+0+0");
    // "orlo*domain" matches both domain resources; the bare name matches none.
    EXPECT_EQ(get("plot_domain"), "dom");
    EXPECT_EQ(get("grid_domain"), "dom");
    EXPECT_EQ(get("background"), "<absent>") << "a name without a value is not an entry";
    EXPECT_EQ(get("device"), "p");
    EXPECT_EQ(get("undeclared_thing"), "yes");
    EXPECT_EQ(get("foreign_thing"), "<absent>");
    EXPECT_EQ(get("wild_thing"), "w");
}

// A file may itself set "default"; the list being walked is not disturbed.
TEST_F(ResFile, DefaultSetInsideAFile)
{
    write("a/.zemdef", "*default: somewhere_else\n*title: a\n");
    write("b/.zemdef", "*label: b\n");
    setenv("zemdefault", "a:b", 1);
    run({});
    EXPECT_EQ(get("default"), "somewhere_else");
    EXPECT_EQ(get("title"), "a");
    EXPECT_EQ(get("label"), "b");
}

TEST_F(ResFile, DebugLineForEveryMatch)
{
    write(".zemdef", "*title: T\n");
    MESS_set(1, M_debug);
    run({});
    EXPECT_NE(messages().find("RESRC: title=T\n"), std::string::npos) << messages();
}

TEST_F(ResFile, ConditionalSections)
{
    write(".zemdef",
          "DEF local\n"
          "IF local\n"
          "  *title: local_title\n"
          "ELIF site\n"
          "  *title: site_title\n"
          "ELSE\n"
          "  *title: other_title\n"
          "END\n"
          "IF site\n"
          "  *label: site_label\n"
          "  IF local\n"
          "    *label: both\n"
          "  END\n"
          "ELIF LOCAL\n"
          "  *label: local_label\n"
          "ELSE\n"
          "  *label: neither\n"
          "END\n"
          "UNDEF Local\n"
          "IF local\n"
          "  *geometry: still_local\n"
          "ELSE\n"
          "  *geometry: undefined_now\n"
          "END\n"
          "IF nothing\n"
          "  DEF hidden\n"
          "END\n"
          "IF hidden\n"
          "  *background: hidden_was_set\n"
          "END\n");
    run({});
    EXPECT_EQ(get("title"), "local_title");
    EXPECT_EQ(get("label"), "local_label") << "tags compare without regard to case";
    EXPECT_EQ(get("geometry"), "undefined_now");
    EXPECT_EQ(get("background"), "<absent>") << "DEF in a section not taken does nothing";
    EXPECT_EQ(messages(), "");
}

TEST_F(ResFile, TagsFromThePathList)
{
    write("cfg/zem.cfg",
          "IF site\n*title: site\nELIF local\n*title: local\nELSE\n*title: none\nEND\n");
    setenv("zemdefault", "+local:cfg", 1);
    run({});
    EXPECT_EQ(get("title"), "local");
    setenv("zemdefault", "+site:+local:cfg", 1);
    run({});
    EXPECT_EQ(get("title"), "site");
    setenv("zemdefault", "cfg", 1);
    run({});
    EXPECT_EQ(get("title"), "none");
    // The tag list is cleared on every decoding.
    EXPECT_EQ(DEF_check_tag("site"), 0);
}

TEST_F(ResFile, DirectoryLookupOrder)
{
    write("d1/zem.cfg", "*title: cfg\n");
    write("d1/.zemdef", "*title: zemdef\n");
    write("d1/Zem.res", "*title: res\n");
    write("d2/.zemdef", "*title: zemdef\n");
    write("d2/Zem.res", "*title: res\n");
    write("d3/Zem.res", "*title: res\n");
    for (auto [dir, want] : std::vector<std::pair<std::string, std::string>>{
             {"d1", "cfg"}, {"d2/", "zemdef"}, {"d3", "res"}, {"d4", "<absent>"}}) {
        std::filesystem::create_directories(dir_ / "d4");
        setenv("zemdefault", dir.c_str(), 1);
        run({});
        EXPECT_EQ(get("title"), want) << dir;
    }
    // An empty list reads .zemdef of the current directory.
    write(".zemdef", "*title: dot\n");
    setenv("zemdefault", "", 1);
    run({});
    EXPECT_EQ(get("title"), "dot");
}

TEST_F(ResFile, DirectiveWarnings)
{
    write(".zemdef", "ELIF a\nELSE\nEND\n*title: after\nIF x\n*label: l\n");
    run({});
    const std::string m = messages();
    EXPECT_NE(m.find("DEF_get: elif without an if\n"), std::string::npos) << m;
    EXPECT_NE(m.find("DEF_get: else without an if\n"), std::string::npos) << m;
    EXPECT_NE(m.find("DEF_get: end without an if\n"), std::string::npos) << m;
    EXPECT_NE(m.find("if without an end"), std::string::npos) << m;
    EXPECT_EQ(get("title"), "after");
    EXPECT_EQ(get("label"), "<absent>");
}

TEST_F(ResFile, DeepNestingAndTooManyTags)
{
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "DEF t" + std::to_string(i) + "\n";
    for (int i = 0; i < 11; ++i)
        text += "IF t0\n";
    text += "*title: too_deep\n";
    for (int i = 0; i < 11; ++i)
        text += "END\n";
    text += "IF t9\n*label: tag9\nEND\nIF t11\n*geometry: tag11\nEND\n";
    // Ten levels are fine.
    for (int i = 0; i < 10; ++i)
        text += "IF t1\n";
    text += "*background: ten_deep\n";
    for (int i = 0; i < 10; ++i)
        text += "END\n";
    write(".zemdef", text);
    run({});
    const std::string m = messages();
    EXPECT_EQ(count_of(m, "DEF_tag: more than 10 tags"), 2) << m;
    EXPECT_EQ(count_of(m, "IF nested deeper than 10"), 1) << m;
    EXPECT_EQ(get("title"), "<absent>");
    EXPECT_EQ(get("label"), "tag9");
    EXPECT_EQ(get("geometry"), "<absent>");
    EXPECT_EQ(get("background"), "ten_deep");
    EXPECT_EQ(m.find("without"), std::string::npos) << "the nesting stays balanced";
}

TEST_F(ResFile, LongLinesAreCutNotSplit)
{
    std::string value(300, 'v');
    write(".zemdef", "*title: " + value + "\n*label: next_line\n");
    run({});
    // 249 characters are read: "*title: " (8) and 241 of the value.
    EXPECT_EQ(get("title"), std::string(241, 'v'));
    EXPECT_EQ(get("label"), "next_line") << "the rest of the long line is not a new line";
    EXPECT_EQ(count_of(messages(), "longer than 249 characters"), 1) << messages();
}

TEST_F(ResFile, TenMegabyteLine)
{
    std::string text = "*title: ";
    text.append(10 * 1024 * 1024, 'x');
    text += "\n*label: survived\n";
    write(".zemdef", text);
    run({});
    EXPECT_EQ(get("title").size(), 241u);
    EXPECT_EQ(get("label"), "survived");
}

TEST_F(ResFile, BinaryJunk)
{
    std::mt19937 rng(12345);
    std::string junk;
    for (int i = 0; i < 200000; ++i) {
        // No "*": a junk line named "*" would match every resource.
        char c = static_cast<char>(rng() & 0xFF);
        junk += c == '*' ? '?' : c;
    }
    // Junk around a valid line: whatever the junk makes, the line still reads.
    write(".zemdef", junk + "\n*title: fine\n" + junk);
    run({"-ti=cmd"});
    EXPECT_EQ(get("title"), "cmd");
    run({});
    EXPECT_EQ(get("title"), "fine");
    // Junk without line feeds or with NUL bytes only.
    write(".zemdef", std::string(5000, '\0'));
    run({});
    EXPECT_EQ(get("title"), "<absent>");
}

TEST_F(ResFile, UnreadableAndMissingFilesAreSkipped)
{
    write("locked/zem.cfg", "*title: locked\n");
    std::filesystem::permissions(dir_ / "locked/zem.cfg", std::filesystem::perms::none);
    write("open.res", "*label: open\n");
    setenv("zemdefault", "locked:/nonexistent/dir:missing.res:open.res:/dev/null", 1);
    run({});
    EXPECT_EQ(get("label"), "open");
    if (geteuid() != 0) {
        EXPECT_EQ(get("title"), "<absent>");
    }
    EXPECT_EQ(messages(), "") << "skipping a file is silent";
}

TEST_F(ResFile, LoopWindowEntryWithoutAWindow)
{
    // Window 3's queue key: only meaningful when no such queue exists here.
    if (msgget(3, 0) >= 0)
        GTEST_SKIP() << "a message queue with key 3 exists on this machine";
    write(".zemdef", "*title: normal\n");
    setenv("zemdefault", ".:#3", 1);
    run({});
    EXPECT_EQ(get("title"), "normal");
    EXPECT_EQ(count_of(messages(), "ZEMloop window: 3 not running or no message queue exists\n"), 1)
        << messages();
}

// Window 0 would be the key IPC_PRIVATE, for which msgget makes a fresh
// queue every time: the look-up must report "not running" and leave the
// system's queue list as it was.
TEST_F(ResFile, LoopWindowZeroNeverCreatesAQueue)
{
    auto queues = [] {
        std::ifstream in("/proc/sysvipc/msg");
        int lines = 0;
        for (std::string l; std::getline(in, l);)
            ++lines;
        return lines;
    };
    if (!std::ifstream("/proc/sysvipc/msg"))
        GTEST_SKIP() << "no /proc/sysvipc/msg to count queues";
    const int before = queues();
    EXPECT_EQ(MQ_open(0), -1);
    setenv("zemdefault", "#0", 1);
    run({});
    EXPECT_EQ(queues(), before) << "a queue was created";
    EXPECT_EQ(count_of(messages(), "ZEMloop window: 0 not running or no message queue exists\n"), 1)
        << messages();
}

// The resource file shipped in etc/ reads cleanly and leaves the domain to
// the user.
TEST_F(ResFile, PackagedDefaultFile)
{
    for (const char* tags : {"", "+site:"}) {
        setenv("zemdefault", (std::string(tags) + ZEM_ETC_DIR).c_str(), 1);
        clear_log();
        run({});
        // Until the package is installed, the data beside the file is used.
        const bool installed = std::filesystem::is_directory("/usr/local/zem/etc");
        EXPECT_EQ(get("file_path"), installed ? "/usr/local/zem/etc" : ZEM_ETC_DIR) << tags;
        EXPECT_EQ(get("plot_domain"), "<absent>") << tags;
        EXPECT_EQ(get("region"), "<absent>") << tags;
        EXPECT_EQ(messages(), "") << tags;
    }
    // Other programs of the package do not take orlo's lines.
    setenv("zemdefault", ZEM_ETC_DIR, 1);
    run({}, "/usr/bin/otherprog");
    EXPECT_EQ(get("file_path"), "<absent>");
}

TEST(DefPatterns, KeysAgainstPatterns)
{
    DEF_prog("/usr/bin/orlo");
    DEF_name(nullptr);
    struct Case { const char* res; const char* pattern; int match; };
    const Case cases[] = {
        {"plot_domain", "*plot_domain", 1},
        {"plot_domain", "orlo.plot_domain", 1},
        {"plot_domain", "orlo*domain", 1},
        {"plot_domain", "plot_domain", 0},
        {"plot_domain", "*", 1},
        {"plot_domain", "orlo.*", 1},
        {"plot_domain", "*.plot_domain", 1},
        {"plot_domain", "gempak.plot_domain", 0},
        {"plot_domain", "orlo.plot_domain_x", 0},
        {"plot_domain", "orlo.plot", 0},
        {"plot_domain", "*domain*", 1},
        {"plot_domain", "*plot*main", 1},
        {"grid_domain", "*plot_domain", 0},
        {"plot_domain", "ORLO.PLOT_DOMAIN", 1},
        {"plot_domain", "*o.plot_domain", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DEF_cmp(c.res, c.pattern), c.match) << c.res << " ~ " << c.pattern;

    EXPECT_STREQ(DEF_parse_name("orlo.plot_domain"), "plot_domain");
    EXPECT_STREQ(DEF_parse_name("*a.b*c"), "c");
    EXPECT_STREQ(DEF_parse_name("plain"), "plain");
    EXPECT_EQ(DEF_valid("orlo.anything"), 1);
    EXPECT_EQ(DEF_valid("*anything"), 1);
    EXPECT_EQ(DEF_valid("other.anything"), 0);

    DEF_name("+x");
    EXPECT_STREQ(DEF_get_prog(), "orlo.x");
    EXPECT_EQ(DEF_cmp("title", "orlo.x.title"), 1);
    EXPECT_EQ(DEF_cmp("title", "orlo.title"), 0);
    // No backtracking: "*a" goes to the first "a" of "ab.a" and the key
    // does not end there.
    DEF_name("ab");
    EXPECT_EQ(DEF_cmp("a", "*a"), 0);
    EXPECT_EQ(DEF_cmp("a", "*.a"), 1);
    DEF_name("other");
    EXPECT_EQ(DEF_cmp("title", "other.title"), 1);
    DEF_name(nullptr);
}

TEST(DefPatterns, TagList)
{
    DEF_clr_tag();
    EXPECT_EQ(DEF_tag("One"), 0);
    EXPECT_EQ(DEF_check_tag("one"), 1);
    EXPECT_EQ(DEF_untag("ONE"), 0);
    EXPECT_EQ(DEF_check_tag("one"), 0);
    EXPECT_EQ(DEF_untag("one"), -1);
    DEF_clr_tag();
}

TEST(DefPatterns, GetWithoutOpenFile)
{
    DEF_close();
    char n[DEF_LINE_LEN], v[DEF_LINE_LEN];
    EXPECT_EQ(DEF_get(n, v), -1);
    EXPECT_EQ(DEF_open("/nonexistent/file"), -1);
    EXPECT_EQ(DEF_get(n, v), -1);
}

TEST(ParseString, Fields)
{
    struct Case {
        const char* in;
        char delim;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"a,b,c", ',', {"a", "b", "c"}},
        {"a,,c", ',', {"a", "", "c"}},
        {",a", ',', {"", "a"}},
        {"a,b,,", ',', {"a", "b"}},
        {",,,", ',', {""}},
        {"single", ',', {"single"}},
        {" a , b ", ',', {" a ", " b "}},
        {"x\ny,z", '\n', {"x", "y,z"}},
        {".:/home/zem/etc:/usr/local/zem/etc", ':', {".", "/home/zem/etc", "/usr/local/zem/etc"}},
    };
    for (const Case& c : cases) {
        int n = -1;
        char** list = nullptr;
        ASSERT_EQ(parse_string(c.in, c.delim, &n, &list), 0) << c.in;
        ASSERT_EQ(n, static_cast<int>(c.fields.size())) << c.in;
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(list[i], c.fields[static_cast<std::size_t>(i)]) << c.in;
        free_parsed_array(n, list);
    }
    int n = 5;
    char* dummy[1] = {nullptr};
    char** list = dummy;
    EXPECT_EQ(parse_string("", ',', &n, &list), -1);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(parse_string(nullptr, ',', &n, &list), -1);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(free_parsed_array(0, nullptr), 0);
}

TEST(TextCompare, CaseInsensitive)
{
    EXPECT_EQ(stricmp("Area", "aREA"), 0);
    EXPECT_LT(stricmp("abc", "abd"), 0);
    EXPECT_GT(stricmp("abcd", "ABC"), 0);
    EXPECT_LT(stricmp("ab", "abc"), 0);
    EXPECT_EQ(strnicmp("AWIPZ_vis", "awipz", 5), 0);
    EXPECT_NE(strnicmp("awip", "awipz", 5), 0);
    EXPECT_EQ(strnicmp("x", "y", 0), 0);
    EXPECT_EQ(stricmp(nullptr, nullptr), 0);
    EXPECT_LT(stricmp(nullptr, "a"), 0);
}

TEST(LineReader, CutsStripsAndStops)
{
    FILE* fp = std::tmpfile();
    ASSERT_NE(fp, nullptr);
    std::fputs("short\r\n0123456789ABCDEF\nlast without newline", fp);
    std::rewind(fp);
    char buf[8];
    int cut = -1;
    ASSERT_NE(fgetstring(buf, sizeof buf, fp, &cut), nullptr);
    EXPECT_STREQ(buf, "short");
    EXPECT_EQ(cut, 0);
    ASSERT_NE(fgetstring(buf, sizeof buf, fp, &cut), nullptr);
    EXPECT_STREQ(buf, "0123456");
    EXPECT_EQ(cut, 1);
    ASSERT_NE(fgetstring(buf, sizeof buf, fp, &cut), nullptr);
    EXPECT_STREQ(buf, "last wi");
    EXPECT_EQ(fgetstring(buf, sizeof buf, fp, &cut), nullptr);
    EXPECT_EQ(fgetstring(buf, 0, fp), nullptr);
    std::fclose(fp);
}

// A carriage return counts only where it ends the line; a line of exactly
// n - 1 characters before "\r\n" is not cut.
TEST(LineReader, CarriageReturnAtTheLimitIsNoCut)
{
    FILE* fp = std::tmpfile();
    ASSERT_NE(fp, nullptr);
    std::fputs("1234567\r\nab\rcd\n", fp);
    std::rewind(fp);
    char buf[8];
    int cut = -1;
    ASSERT_NE(fgetstring(buf, sizeof buf, fp, &cut), nullptr);
    EXPECT_STREQ(buf, "1234567");
    EXPECT_EQ(cut, 0);
    ASSERT_NE(fgetstring(buf, sizeof buf, fp, &cut), nullptr);
    EXPECT_STREQ(buf, "ab\rcd") << "a carriage return inside the line stays";
    std::fclose(fp);
}

TEST(LineReader, ReadTextLine)
{
    FILE* fp = std::tmpfile();
    ASSERT_NE(fp, nullptr);
    std::fputs("short\r\n\n0123456789\nx\r\r\nab\rcd\nlast\r", fp);
    std::rewind(fp);
    std::string line = "stale";
    ASSERT_TRUE(read_text_line(fp, line, 5));
    EXPECT_EQ(line, "short") << "the final carriage return does not count against max";
    ASSERT_TRUE(read_text_line(fp, line, 5));
    EXPECT_EQ(line, "") << "an empty line is a line";
    ASSERT_TRUE(read_text_line(fp, line, 5));
    EXPECT_EQ(line, "01234") << "the rest of a long line is skipped";
    ASSERT_TRUE(read_text_line(fp, line, 5));
    EXPECT_EQ(line, "x\r") << "only one carriage return is removed";
    ASSERT_TRUE(read_text_line(fp, line, 5));
    EXPECT_EQ(line, "ab\rcd");
    ASSERT_TRUE(read_text_line(fp, line, 5));
    EXPECT_EQ(line, "last") << "a carriage return before the end of file ends the line";
    EXPECT_FALSE(read_text_line(fp, line, 5));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(read_text_line(nullptr, line, 5));
    std::fclose(fp);

    // A 3 MB line without a line feed keeps only `max` characters.
    fp = std::tmpfile();
    ASSERT_NE(fp, nullptr);
    std::string big(3 * 1024 * 1024, 'z');
    std::fwrite(big.data(), 1, big.size(), fp);
    std::rewind(fp);
    ASSERT_TRUE(read_text_line(fp, line, 249));
    EXPECT_EQ(line, std::string(249, 'z'));
    EXPECT_FALSE(read_text_line(fp, line, 249));
    std::fclose(fp);
}

TEST(TextCompare, ViewHelpers)
{
    EXPECT_TRUE(str_iequal("AwIpZ", "awipz"));
    EXPECT_FALSE(str_iequal("awip", "awipz"));
    EXPECT_FALSE(str_iequal("awipz", "awip"));
    EXPECT_TRUE(str_iequal("", ""));
    EXPECT_FALSE(str_iequal("a", "b"));
    // Not NUL-terminated views compare only their own characters.
    std::string_view part = std::string_view("IMGZ_sat").substr(0, 4);
    EXPECT_TRUE(str_iequal(part, "imgz"));
    EXPECT_TRUE(str_iprefix("AWIPZ_vis", "awipz"));
    EXPECT_TRUE(str_iprefix("awip", ""));
    EXPECT_FALSE(str_iprefix("awi", "awip"));
    EXPECT_FALSE(str_iprefix("lrjt", "lrit"));
    // Bytes above 127 compare as themselves.
    EXPECT_FALSE(str_iequal("\xC9", "\xE9"));
    EXPECT_TRUE(str_iequal("\xC9x", "\xC9X"));
}

}  // namespace
