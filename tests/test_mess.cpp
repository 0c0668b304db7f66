// Message levels, destinations, paging, prompts and process utilities.
#include "zem_test.h"

#include <sys/stat.h>

#include <cstring>

#include "flag.h"
#include "system.h"
#include "tools.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class MessTest : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        FLAG_reset(kMissing);
        RES_clear();
    }
    void TearDown() override { MESS_reset(); }
    zt::TempDir dir_;
};

// The masks are worked out by hand from the group layout: print 0xF,
// error 0x30, warn 0xC0, mess 0xF00, out1..out4 one nibble each up to
// 0xF00000, debug 0xF0000000; a word shows its group and every one below,
// a last letter a-d only that sub-level of the group.
TEST_F(MessTest, LevelWords) {
    EXPECT_EQ(MESS_get(), 0xFFFFFu) << "the default shows up to out2";
    EXPECT_EQ(MESS_check_set(), 0);
    struct Case {
        const char* value;
        M_type level;
    };
    const Case cases[] = {
        {"warn", 0xFFu},    {"out2,-out1", 0xF0FFFu},  {"none", 0u},         {"+debugd", 0x800FFFFFu},
        {"errora", 0x1Fu},  {"out2,-print", 0xFFFF0u}, {"de", 0xFFFFFFFFu},  {"wa", 0xFFu},
        {"bogus", 0xFFFFFu},     {"+out3c", 0x4FFFFFu},     {"-out2b", 0xDFFFFu}, {"warn, +debugd", 0x800000FFu},
        {" mess ", 0xFFFu},
    };
    for (const Case& c : cases) {
        MESS_reset();
        MESS_set_str(c.value);
        EXPECT_EQ(MESS_get(), c.level) << c.value;
        EXPECT_EQ(MESS_check_set(), 1) << c.value;
    }
    MESS_set_str("out2 , -out1 ,line= 10");
    EXPECT_EQ(MESS_get_max_lines(), 10);
    MESS_set_str("line=0");
    EXPECT_EQ(MESS_get_max_lines(), 22);

    // Codes: 0 sets, 1 adds, -1 removes; above 15 a default that gives way
    // to an explicit setting; 9, 10 and 11 act without counting as explicit.
    MESS_reset();
    struct Code {
        int code;
        M_type mask, level;
    };
    for (Code c : {Code{0, M_warn, 0xFFu}, Code{1, M_debug, 0xF00000FFu}, Code{-1, M_error, 0xF00000CFu},
                   Code{20, M_print, 0xF00000CFu}, Code{10, M_mess, 0xFFFu}, Code{11, 0x80000000u, 0x80000FFFu},
                   Code{9, M_mess, 0x800000FFu}}) {
        MESS_set(c.code, c.mask);
        EXPECT_EQ(MESS_get(), c.level) << c.code;
    }
    EXPECT_EQ(MESS_check_set(), 3);
    MESS_reset();
    MESS_set(21, M_out3);
    EXPECT_EQ(MESS_check(M_out3) * 10 + MESS_check(M_out4), 10);
}

TEST_F(MessTest, ScreenStreams) {
    CaptureStdout();
    CaptureStderr();
    MESS_print(M_error, "bad %s\n", "thing");
    MESS_print(M_warn, "careful\n");
    MESS_print(M_print, "plain\n");
    EXPECT_EQ(MESS_print(M_out2, "detail %d\n", 2), 1);
    EXPECT_EQ(MESS_print(M_out3, "hidden\n"), 0);
    EXPECT_EQ(GetCapturedStdout(), "plain\ndetail 2\n");
    EXPECT_EQ(GetCapturedStderr(), "bad thing\ncareful\n");
}

// Log-file items: what each prints on the screen and leaves in the file
// (which held "old\n" before); a log that cannot be opened falls back to
// the screen only for "+fi".
TEST_F(MessTest, LogFiles) {
    struct Case {
        const char* item;
        const char* screen;
        const char* file;
    };
    const Case cases[] = {
        {"fi=", "", "old\na\nb\n"},  // appended, nothing on the screen
        {"+fi=", "a\nb\n", "old\na\nb\n"},
        {"-fi=", "a\nb\n", "a\nb\n"},
        {"dfi=", "a\nb\n", "old\na\nb\n"},  // opened for each message
        {"+fi=/nonexistent-dir-zem/x.log", "a\nb\n", "old\n"},
        {"fi=/nonexistent-dir-zem/x.log", "", "old\n"},
    };
    for (const Case& c : cases) {
        const std::string log = dir_.file("m.log");
        zt::spit(log, "old\n");
        MESS_reset();
        MESS_set_str(std::strchr(c.item, '/') ? c.item : (c.item + log).c_str());
        CaptureStdout();
        MESS_print(M_print, "a\n");
        MESS_print(M_debug, "filtered\n");
        MESS_print(M_print, "b\n");
        EXPECT_EQ(GetCapturedStdout(), c.screen) << c.item;
        MESS_reset();
        EXPECT_EQ(zt::slurp(log), c.file) << c.item;
    }
}

TEST_F(MessTest, LogVariants) {
    // "dfi=" closes the file between messages: once removed, the next
    // message creates it again.
    const std::string each = dir_.file("each.log");
    MESS_set_str(("dfi=" + each).c_str());
    CaptureStdout();
    MESS_print(M_print, "first\n");
    std::filesystem::remove(each);
    MESS_print(M_print, "second\n");
    GetCapturedStdout();
    EXPECT_EQ(zt::slurp(each), "second\n");

    // The copy file gets every shown message, whatever the destination.
    MESS_reset();
    const std::string copy = dir_.file("copy.txt");
    ASSERT_EQ(MESS_file(copy.c_str(), "w"), 0);
    MESS_set_str(("fi=" + dir_.file("log")).c_str());
    MESS_print(M_print, "a\n");
    MESS_print(M_error, "b\n");
    MESS_print(M_debug, "not shown\n");
    EXPECT_EQ(MESS_file_close(), 0);
    EXPECT_EQ(MESS_file_close(), -1);
    EXPECT_EQ(zt::slurp(copy), "a\nb\n");
    EXPECT_EQ(MESS_file(dir_.file("no/such/dir/f").c_str(), "w"), -1);
}

TEST_F(MessTest, Paging) {
    // 8 one-line messages with pages of 3: pauses after lines 4 and 8.
    const zt::RunResult paged = zt::run_child(
        [] {
            MESS_set_str("page,line=3");
            for (int i = 1; i <= 8; ++i) MESS_print(M_print, "line %d\n", i);
        },
        "\n\n\n");
    EXPECT_EQ(paged.status, 99);
    EXPECT_EQ(zt::count_of(paged.out, "Press return to continue\n"), 2) << paged.out;
    EXPECT_NE(paged.out.find("line 4\nPress return to continue\nline 5\n"), std::string::npos) << paged.out;

    const zt::RunResult batch = zt::run_child([] {
        FLAG_set(FLAG_BATCH, 1);
        MESS_set_str("page,line=2");
        for (int i = 0; i < 6; ++i) MESS_print(M_print, "x\n");
        std::printf("held=%d\n", MESS_hold(M_print, "wait\n"));
    });
    EXPECT_EQ(zt::count_of(batch.out, "Press return"), 0);
    EXPECT_NE(batch.out.find("held=0"), std::string::npos);
    const zt::RunResult nopage = zt::run_child(
        [] {
            MESS_set_str("nopage");
            std::printf("held=%d\n", MESS_hold(M_print, "wait\n"));
        },
        "\n");
    EXPECT_EQ(nopage.out, "held=0\n");
    const zt::RunResult held =
        zt::run_child([] { std::printf("held=%d\n", MESS_hold(M_error | M_warn, "wait\n")); }, "\n");
    EXPECT_EQ(held.err, "wait\n");
    EXPECT_EQ(held.out, "held=1\n");
}

TEST_F(MessTest, Prompts) {
    // "set" lines store a resource and ask again; blank lines ask again.
    zt::RunResult r = zt::run_child(
        [] {
            char* word = ZEM_promptl("File? ", nullptr);
            const char* pd = RES_get("plot_domain");
            std::printf("\nword=%s pd=%s\n", word, pd ? pd : "(null)");
            std::free(word);
        },
        "set plot_domain=us\n   \nmyfile.area extra\n");
    EXPECT_EQ(zt::count_of(r.out, "File? "), 3) << r.out;
    EXPECT_NE(r.out.find("word=myfile.area pd=us"), std::string::npos) << r.out;

    // "exit" ends the program with status 0.
    r = zt::run_child(
        [] {
            char word[20];
            ZEM_promptl("Name: ", word);
            std::printf("returned\n");
        },
        "exit\n", 3);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("returned"), std::string::npos);

    // Numbers are asked again until one is given; words are cut to their
    // buffers; end of input gives 0.
    r = zt::run_child(
        [] {
            const int d = ZEM_promptd("n? ");
            const float f = ZEM_promptf("f? ");
            char w[4], l[20];
            ZEM_prompts("w? ", w, 4);
            ZEM_promptl("l? ", l);
            const int eof = ZEM_promptd("e? ");
            std::printf("\nd=%d f=%.2f w=%s l=%s eof=%d\n", d, f, w, l, eof);
        },
        "abc\n42\n2.5\nabcdefg\n123456789012345678901234\r\n");
    EXPECT_NE(r.out.find("d=42 f=2.50 w=abc l=1234567890123456789 eof=0"), std::string::npos) << r.out;
    EXPECT_EQ(zt::count_of(r.out, "n? "), 2);
}

TEST_F(MessTest, SetCommand) {
    struct Case {
        const char* line;
        int taken;
        const char* name;
        const char* value;
    };
    for (Case c : {Case{"set region us", 1, "region", "us"}, Case{"SET device = p,out.ps", 1, "device", "p,out.ps"},
                   Case{"settings.area", 0, nullptr, nullptr}, Case{"24030513", 0, nullptr, nullptr}}) {
        EXPECT_EQ(ZEM_set_command(c.line), c.taken) << c.line;
        if (c.name) {
            EXPECT_STREQ(RES_get(c.name), c.value) << c.line;
        }
    }
    EXPECT_EQ(ZEM_set_command(nullptr), 0);
    // A bare "set", or one without a name, lists the resources.
    for (const char* list : {"set", "set =x"}) {
        CaptureStdout();
        EXPECT_EQ(ZEM_set_command(list), 1);
        const std::string out = GetCapturedStdout();
        EXPECT_EQ(out.rfind("Set resources\n", 0), 0u) << out;
        EXPECT_NE(out.find("region: us\n"), std::string::npos) << out;
    }
    EXPECT_EQ(RES_get(""), nullptr);
}

TEST_F(MessTest, BackgroundProcess) {
    // The detached child leads its own process group with its output on
    // /dev/null; the parent side exits 0 at once.
    const std::string marker = dir_.file("child.txt");
    const zt::RunResult r = zt::run_child([marker] {
        if (ZEM_back_proc() != 1) _exit(5);
        struct stat out_st {
        }, null_st{};
        fstat(1, &out_st);
        stat("/dev/null", &null_st);
        zt::spit(marker + ".tmp",
                 std::to_string(getpgrp() == getpid()) + " " + std::to_string(out_st.st_rdev == null_st.st_rdev));
        std::rename((marker + ".tmp").c_str(), marker.c_str());
        _exit(0);
    });
    EXPECT_EQ(r.status, 0);
    for (int i = 0; i < 100 && !std::filesystem::exists(marker); ++i) usleep(50000);
    EXPECT_EQ(zt::slurp(marker), "1 1");
}

}  // namespace
