// Shared set-up for the resource tests: a scratch directory as the current
// directory, a clean environment for the variables the resource module
// reads, orlo's key lists, and message capture through the copy file.
#ifndef ZEM_TEST_RES_FIXTURE_H
#define ZEM_TEST_RES_FIXTURE_H

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "date.h"
#include "files.h"
#include "flag.h"
#include "mess.h"
#include "resrc.h"

// orlo's resource list and positional list, in help order.
inline const res_type kOrloKeys[] = {
    RES_help, RES_batch, RES_message, RES_file_path, RES_data_path, RES_con_path,
    RES_grid_path, RES_raw_path, RES_image_path, RES_watch_path, RES_text_path,
    RES_model_path, RES_sat_path, RES_city_file, RES_map_file, RES_input, RES_output,
    RES_name_conv, RES_in_file, RES_out_file, RES_file_param, RES_current, RES_hour,
    RES_num_hour, RES_plot_domain, RES_grid_domain, RES_region, RES_stat_prior,
    RES_plot_type, RES_plot_scale, RES_plot_format, RES_plot_param, RES_draw, RES_label,
    RES_con_interval, RES_con_base, RES_font_list, RES_color_table, RES_color_text,
    RES_color_data, RES_color_map, RES_color_grid, RES_color_line, RES_color_fill,
    RES_device, RES_title, RES_icon, RES_background, RES_geometry, RES_null};
inline const res_type kOrloPos[] = {RES_filenames, RES_null};

class ResTest : public ::testing::Test {
protected:
    // Environment variables a run may read; saved and cleared around each test.
    std::vector<std::string> env_names_{
        "zemdefault", "zemtz", "zemdomain", "zemplot_domain", "zemorlo.plot_domain",
        "zemtitle", "zemorlo.title", "zemorlo.x.title", "zemhour", "zemmess", "zembatch",
        "zemdraw", "zemfilename", "zemhelp", "zemcurtime"};
    std::map<std::string, std::optional<std::string>> saved_env_;
    std::filesystem::path old_cwd_;
    std::filesystem::path dir_;
    std::filesystem::path log_;

    void SetUp() override
    {
        for (const auto& n : env_names_) {
            const char* v = std::getenv(n.c_str());
            saved_env_[n] = v ? std::optional<std::string>(v) : std::nullopt;
            unsetenv(n.c_str());
        }
        old_cwd_ = std::filesystem::current_path();
        char tmpl[] = "/tmp/zem_res_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::filesystem::current_path(dir_);
        log_ = dir_ / "messages.log";
        MESS_reset();
        FILE_reset();
        DATE_set_TZ(nullptr);
        // Messages go only to the copy file, so tests can read them back.
        MESS_set_out(MESS_OUT_LOG_ONLY);
        ASSERT_EQ(MESS_file(log_.c_str(), "w"), 0);
        // Only the scratch directory is searched for resource files unless a
        // test says otherwise.
        setenv("zemdefault", ".", 1);
    }

    void TearDown() override
    {
        MESS_file_close();
        MESS_reset();
        DATE_set_TZ(nullptr);
        std::filesystem::current_path(old_cwd_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        for (const auto& [n, v] : saved_env_) {
            if (v)
                setenv(n.c_str(), v->c_str(), 1);
            else
                unsetenv(n.c_str());
        }
    }

    // Runs the resource decoding for "orlo" with these arguments.
    void run(std::vector<std::string> args, const char* prog = "/usr/local/bin/orlo")
    {
        args.insert(args.begin(), prog);
        argv_store_ = args;
        argv_.clear();
        for (auto& a : argv_store_)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
        RES_init(static_cast<int>(argv_store_.size()), argv_.data(), kOrloKeys, kOrloPos);
    }

    void write(const std::filesystem::path& p, const std::string& text)
    {
        std::filesystem::create_directories(p.parent_path().empty() ? "." : p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }

    // Everything printed since SetUp (or since the last clear_log).
    std::string messages()
    {
        std::ifstream in(log_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void clear_log() { ASSERT_EQ(MESS_file(log_.c_str(), "w"), 0); }

    static std::string get(const char* name)
    {
        const char* v = RES_get(name);
        return v ? v : "<absent>";
    }

private:
    std::vector<std::string> argv_store_;
    std::vector<char*> argv_;
};

#endif
