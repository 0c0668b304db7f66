// Message levels, destinations, paging, prompts and process utilities.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "child_run.h"
#include "flag.h"
#include "mess.h"
#include "resrc.h"
#include "system.h"
#include "tools.h"

namespace fs = std::filesystem;

namespace {

class MessTest : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        FLAG_reset(kMissing);
        dir_ = fs::temp_directory_path() /
               ("zem_mess_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        MESS_reset();
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

// The level masks below are worked out by hand from the group layout
// (print 0xF, error 0x30, warn 0xC0, mess 0xF00, out1..out4, debug).
TEST_F(MessTest, DefaultLevelShowsPrintThroughOut2) {
    EXPECT_EQ(MESS_get(), 0xFFFFFu);
    EXPECT_EQ(MESS_check_set(), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(MESS_print(M_out2, "detail %d\n", 2), 1);
    EXPECT_EQ(MESS_print(M_out3, "hidden\n"), 0);
    EXPECT_EQ(MESS_print(M_out4, "hidden\n"), 0);
    EXPECT_EQ(MESS_print(M_debug, "hidden\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "detail 2\n");
}

TEST_F(MessTest, SetByCode) {
    MESS_set(0, M_warn);  // warn and everything below
    EXPECT_EQ(MESS_get(), 0xFFu);
    EXPECT_EQ(MESS_check_set(), 1);
    MESS_set(1, M_debug);
    EXPECT_EQ(MESS_get(), 0xF00000FFu);
    MESS_set(-1, M_error);
    EXPECT_EQ(MESS_get(), 0xF00000CFu);
    // Codes above 15 are defaults that give way to an explicit setting.
    MESS_set(20, M_print);
    EXPECT_EQ(MESS_get(), 0xF00000CFu);
    // Codes 10, 11 and 9 act but do not count as explicit.
    MESS_set(10, M_mess);
    EXPECT_EQ(MESS_get(), 0xFFFu);
    MESS_set(11, 0x80000000u);
    EXPECT_EQ(MESS_get(), 0x80000FFFu);
    MESS_set(9, M_mess);
    EXPECT_EQ(MESS_get(), 0x800000FFu);
    EXPECT_EQ(MESS_check_set(), 3);
    // Without an explicit setting a code above 15 acts.
    MESS_reset();
    MESS_set(21, M_out3);
    EXPECT_EQ(MESS_get(), 0xFFFFFFu);
    EXPECT_EQ(MESS_check(M_out3), 1);
    EXPECT_EQ(MESS_check(M_out4), 0);
}

TEST_F(MessTest, ResourceWordsAndSubLevels) {
    struct Case {
        const char* value;
        M_type level;
    } cases[] = {
        {"warn", 0xFFu},
        {"mess", 0xFFFu},
        {"out2,-out1", 0xF0FFFu},
        {"none", 0u},
        {"debug", 0xFFFFFFFFu},
        {"+debugd", 0x800FFFFFu},   // default plus the most detailed tracing bit
        {"print", 0xFu},
        {"errora", 0x1Fu},          // 0x30 & 0x11111111 = 0x10, with the bits below
        {"out2,-print", 0xFFFF0u},
        {"de", 0xFFFFFFFFu},        // a word is known by its leading characters
        {"wa", 0xFFu},              // the "a" belongs to the word, not a sub-level
        {"bogus", 0xFFFFFu},        // an unknown word is ignored: the level stays
        {"+out3c", 0x4FFFFFu},
        {"-out2b", 0xDFFFFu},
    };
    for (const Case& c : cases) {
        MESS_reset();
        MESS_set_str(c.value);
        EXPECT_EQ(MESS_get(), c.level) << c.value;
        EXPECT_EQ(MESS_check_set(), 1) << c.value;
    }
    MESS_reset();
    MESS_set_str("line=10");
    EXPECT_EQ(MESS_get_max_lines(), 10);
    MESS_set_str("line=0");
    EXPECT_EQ(MESS_get_max_lines(), 22);
}

// Blanks around the items of a list such as "warn, +debugd" belong to no
// word: without trimming " +debugd" would be an unknown word and set the
// level to 0, hiding even the errors.
TEST_F(MessTest, BlanksAroundItemsAreIgnored) {
    MESS_set_str("warn, +debugd");
    EXPECT_EQ(MESS_get(), 0x800000FFu);  // 0xFF with 0x80000000 added
    MESS_reset();
    MESS_set_str(" mess ");
    EXPECT_EQ(MESS_get(), 0xFFFu);
    MESS_reset();
    MESS_set_str("out2 , -out1 ,line= 10");
    EXPECT_EQ(MESS_get(), 0xF0FFFu);
    EXPECT_EQ(MESS_get_max_lines(), 10);
}

TEST_F(MessTest, ErrorsAndWarningsGoToStandardError) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    MESS_print(M_error, "bad %s\n", "thing");
    MESS_print(M_warn, "careful\n");
    MESS_print(M_print, "plain\n");
    MESS_print(M_mess, "progress\n");
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "plain\nprogress\n");
    EXPECT_EQ(err, "bad thing\ncareful\n");
}

TEST_F(MessTest, LogFileOnly) {
    fs::path log = dir_ / "only.log";
    MESS_set_str(("fi=" + log.string()).c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(MESS_print(M_print, "to the log %d\n", 1), 0);
    EXPECT_EQ(MESS_print(M_debug, "filtered\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(slurp(log), "to the log 1\n");
}

TEST_F(MessTest, AppendAndTruncateLogs) {
    fs::path log = dir_ / "app.log";
    std::ofstream(log) << "old\n";
    MESS_set_str(("+fi=" + log.string()).c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(MESS_print(M_print, "new\n"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "new\n");
    EXPECT_EQ(slurp(log), "old\nnew\n");

    MESS_reset();
    MESS_set_str(("-fi=" + log.string()).c_str());
    testing::internal::CaptureStdout();
    MESS_print(M_print, "fresh\n");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(slurp(log), "fresh\n");
}

TEST_F(MessTest, TimeStampedLog) {
    fs::path log = dir_ / "stamp.log";
    MESS_set_str(("warn,@fi=" + log.string()).c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(MESS_print(M_print, "hello\n"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "hello\n");
    // The stamp is the current-time text: "YY MON DD  HH:MM:SSZ".
    std::regex stamped(R"(^\d\d [A-Z]{3} \d\d  \d\d:\d\d:\d\dZ -- hello\n$)");
    std::string text = slurp(log);
    EXPECT_TRUE(std::regex_match(text, stamped)) << text;
}

TEST_F(MessTest, LogOpenedPerMessage) {
    fs::path log = dir_ / "each.log";
    MESS_set_str(("dfi=" + log.string()).c_str());
    testing::internal::CaptureStdout();
    MESS_print(M_print, "first\n");
    EXPECT_EQ(slurp(log), "first\n");
    // The file is closed between messages: once removed, the next message
    // creates it again (a file kept open would write to the removed one).
    fs::remove(log);
    MESS_print(M_print, "second\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "first\nsecond\n");
    EXPECT_EQ(slurp(log), "second\n");
}

TEST_F(MessTest, CopyFileGetsEveryShownMessage) {
    fs::path copy = dir_ / "copy.txt";
    ASSERT_EQ(MESS_file(copy.string().c_str(), "w"), 0);
    MESS_set_str(("fi=" + (dir_ / "log").string()).c_str());  // nothing on the screen
    MESS_print(M_print, "a\n");
    MESS_print(M_error, "b\n");
    MESS_print(M_debug, "not shown\n");
    EXPECT_EQ(MESS_file_close(), 0);
    EXPECT_EQ(MESS_file_close(), -1);
    EXPECT_EQ(slurp(copy), "a\nb\n");
    EXPECT_EQ(MESS_file((dir_ / "no" / "such" / "dir" / "f").string().c_str(), "w"), -1);
}

TEST_F(MessTest, UnopenableLogFallsBackToScreen) {
    MESS_set_str("+fi=/nonexistent-dir-zem/x.log");
    testing::internal::CaptureStdout();
    EXPECT_EQ(MESS_print(M_print, "still shown\n"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "still shown\n");
    MESS_reset();
    MESS_set_str("fi=/nonexistent-dir-zem/x.log");
    testing::internal::CaptureStdout();
    EXPECT_EQ(MESS_print(M_print, "nowhere\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(MessTest, PagingPausesEveryPage) {
    ChildResult r = run_child(
        [] {
            MESS_set_str("page,line=3");
            for (int i = 1; i <= 8; ++i) MESS_print(M_print, "line %d\n", i);
        },
        "\n\n\n");
    EXPECT_EQ(r.status, 99);
    // 8 one-line messages with pages of 3: pauses after lines 4 and 8.
    EXPECT_EQ(count_of(r.out, "Press return to continue\n"), 2) << r.out;
    EXPECT_NE(r.out.find("line 4\nPress return to continue\nline 5\n"), std::string::npos) << r.out;
}

TEST_F(MessTest, NoPausesInBatchModeOrWithNopage) {
    ChildResult batch = run_child(
        [] {
            FLAG_set(FLAG_BATCH, 1);
            MESS_set_str("page,line=2");
            for (int i = 0; i < 6; ++i) MESS_print(M_print, "x\n");
            std::printf("held=%d\n", MESS_hold(M_print, "wait\n"));
        },
        "");
    EXPECT_EQ(batch.status, 99);
    EXPECT_EQ(count_of(batch.out, "Press return"), 0);
    EXPECT_NE(batch.out.find("held=0"), std::string::npos);

    ChildResult nopage = run_child(
        [] {
            MESS_set_str("nopage");
            std::printf("held=%d\n", MESS_hold(M_print, "wait\n"));
        },
        "\n");
    EXPECT_EQ(nopage.out, "held=0\n");

    ChildResult onrequest = run_child(
        [] { std::printf("held=%d\n", MESS_hold(M_error | M_warn, "wait\n")); }, "\n");
    EXPECT_EQ(onrequest.err, "wait\n");  // both error and warn bits: standard error
    EXPECT_EQ(onrequest.out, "held=1\n");
}

TEST_F(MessTest, ProgramTitle) {
    testing::internal::CaptureStdout();
    MESS_print_prog("SATELLITE IMAGE DISPLAY");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "      SATELLITE IMAGE DISPLAY (Ver 5.59-LINUX-X11)\n\n");
    EXPECT_STREQ(ZEM_version(), "5.59-LINUX-X11");
}

class PromptTest : public MessTest {
protected:
    void SetUp() override {
        MessTest::SetUp();
        RES_clear();
    }
};

TEST_F(PromptTest, SetCommandStoresResourceAndRepeatsPrompt) {
    ChildResult r = run_child(
        [] {
            char* word = ZEM_promptl("File? ", nullptr);
            const char* pd = RES_get("plot_domain");
            std::printf("\nword=%s pd=%s\n", word, pd ? pd : "(null)");
            std::free(word);
        },
        "set plot_domain=us\n   \nmyfile.area extra\n");
    EXPECT_EQ(r.status, 99);
    EXPECT_EQ(count_of(r.out, "File? "), 3) << r.out;  // set, blank, answer
    EXPECT_NE(r.out.find("word=myfile.area pd=us"), std::string::npos) << r.out;
}

TEST_F(PromptTest, ExitEndsTheProgramWithStatusZero) {
    ChildResult r = run_child(
        [] {
            char word[20];
            ZEM_promptl("Name: ", word);
            std::printf("returned\n");
        },
        "exit\n", 3);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("returned"), std::string::npos);
}

TEST_F(PromptTest, NumbersWordsAndEndOfInput) {
    ChildResult r = run_child(
        [] {
            int d = ZEM_promptd("n? ");
            float f = ZEM_promptf("f? ");
            char w[4];
            ZEM_prompts("w? ", w, 4);
            char l[20];
            ZEM_promptl("l? ", l);  // 19 characters at most
            int eof = ZEM_promptd("e? ");
            std::printf("\nd=%d f=%.2f w=%s l=%s eof=%d\n", d, f, w, l, eof);
        },
        "abc\n42\n2.5\nabcdefg\n123456789012345678901234\r\n");
    EXPECT_EQ(r.status, 99);
    EXPECT_NE(r.out.find("d=42 f=2.50 w=abc l=1234567890123456789 eof=0"), std::string::npos)
        << r.out;
    EXPECT_EQ(count_of(r.out, "n? "), 2);  // "abc" is no number: asked again
}

TEST_F(PromptTest, SetCommandForms) {
    EXPECT_EQ(ZEM_set_command("set region us"), 1);
    EXPECT_STREQ(RES_get("region"), "us");
    EXPECT_EQ(ZEM_set_command("SET device = p,out.ps"), 1);
    EXPECT_STREQ(RES_get("device"), "p,out.ps");
    EXPECT_EQ(ZEM_set_command("settings.area"), 0);  // a file name, not a command
    EXPECT_EQ(ZEM_set_command("24030513"), 0);
    EXPECT_EQ(ZEM_set_command(nullptr), 0);

    testing::internal::CaptureStdout();
    EXPECT_EQ(ZEM_set_command("set"), 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Set resources\n", 0), 0u) << out;
    EXPECT_NE(out.find("region: us\n"), std::string::npos) << out;
}

// "set" with "=" but no name lists the resources like a bare "set"; it
// must not store a resource without a name.
TEST_F(PromptTest, SetWithoutNameLists) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZEM_set_command("set =x"), 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Set resources\n", 0), 0u) << out;
    EXPECT_EQ(RES_get(""), nullptr);
}

TEST_F(MessTest, SleepAndElapsedTime) {
    EXPECT_EQ(ZEM_sleep(0.0f), -1);
    EXPECT_EQ(ZEM_sleep(-1.0f), -1);
    ZEM_init_time();
    EXPECT_EQ(ZEM_sleep(0.2f), 0);
    float e = ZEM_elapse_time();
    EXPECT_GE(e, 0.19f);
    EXPECT_LT(e, 5.0f);
}

TEST_F(MessTest, BackgroundProcessDetaches) {
    fs::path marker = dir_ / "child.txt";
    std::string mpath = marker.string();
    ChildResult r = run_child(
        [mpath] {
            if (ZEM_back_proc() == 1) {
                struct stat out_st {}, null_st {};
                fstat(1, &out_st);
                stat("/dev/null", &null_st);
                FILE* fp = std::fopen((mpath + ".tmp").c_str(), "w");
                if (fp) {
                    std::fprintf(fp, "leader=%d null=%d\n", getpgrp() == getpid() ? 1 : 0,
                                 out_st.st_rdev == null_st.st_rdev ? 1 : 0);
                    std::fclose(fp);
                    std::rename((mpath + ".tmp").c_str(), mpath.c_str());
                }
                _exit(0);
            }
            _exit(5);
        },
        "");
    EXPECT_EQ(r.status, 0);  // the parent side exits 0 at once
    for (int i = 0; i < 100 && !fs::exists(marker); ++i) usleep(50000);
    ASSERT_TRUE(fs::exists(marker));
    EXPECT_EQ(slurp(marker), "leader=1 null=1\n");
}

}  // namespace
