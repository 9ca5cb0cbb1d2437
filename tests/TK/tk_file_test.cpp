#include "TK/tk_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TK/tk_exception.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

fs::path make_file(const fs::path& path, fs::perms perms) {
    std::ofstream(path) << "x";
    fs::permissions(path, perms);
    return path;
}

// Read-only means "no write bit": the answer must not depend on running as root.
TEST(tk_file, file_exist_by_mode) {
    test_support::temp_dir dir;
    const fs::path writable =
        make_file(dir.path() / "rw.txt", fs::perms::owner_read | fs::perms::owner_write);
    const fs::path read_only =
        make_file(dir.path() / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
    const fs::path missing = dir.path() / "missing.txt";
    ASSERT_EQ(mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    struct row {
        fs::path path;
        bool read_write;
        bool read;
    } rows[] = {
        {writable, true, true},
        {read_only, false, true},
        {missing, false, false},
        {dir.path(), false, false},  // a folder is not a file
    };
    for (const row& r : rows) {
        EXPECT_EQ(tk_is_file_exist(r.path.string(), tk_file_read_write), r.read_write) << r.path;
        EXPECT_EQ(tk_is_file_exist(r.path.string(), tk_file_read), r.read) << r.path;
        EXPECT_EQ(tk_is_file_exist(r.path.wstring(), tk_file_read), r.read) << r.path;
        EXPECT_EQ(tk_is_file_exist(r.path.string(), 0), r.read) << "any other mode reads";
    }
    // A named pipe without a writer must answer, not hang.
    EXPECT_TRUE(tk_is_file_exist((dir.path() / "fifo").string(), tk_file_read));
}

TEST(tk_file, path_exist_keeps_the_current_directory) {
    test_support::temp_dir dir;
    fs::create_directory(dir.path() / "sub");
    const fs::path before = fs::current_path();
    EXPECT_TRUE(tk_is_path_exist((dir.path() / "sub").string()));
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_FALSE(tk_is_path_exist((dir.path() / "none").string()));
    EXPECT_FALSE(tk_is_path_exist(make_file(dir.path() / "f", fs::perms::owner_all).string()));
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_TRUE(tk_is_path_exist(""));  // the program's directory
    {
        const tk_directory_changer changer((dir.path() / "sub").string());
        EXPECT_TRUE(changer.changed());
        EXPECT_EQ(fs::current_path(), fs::canonical(dir.path() / "sub"));
    }
    EXPECT_EQ(fs::current_path(), before);
}

TEST(tk_file, file_name_splits_absolute_and_relative_paths) {
    struct row {
        const char* path;
        std::string dir, name, ext;
    } rows[] = {
        {"/logs/run.txt", "/logs/", "run", ".txt"},
        {"/logs/archive.tar.gz", "/logs/", "archive.tar", ".gz"},
        {"/logs/./old/../run", "/logs/", "run", ""},
        {"/logs/", "/logs/", "", ""},
        {"/logs/.profile", "/logs/", "", ".profile"},
    };
    for (const row& r : rows) {
        tk_file_name parts;
        parts.initialize(r.path);
        EXPECT_EQ(parts.drive, "") << r.path;
        EXPECT_EQ(parts.dir, r.dir) << r.path;
        EXPECT_EQ(parts.name, r.name) << r.path;
        EXPECT_EQ(parts.ext, r.ext) << r.path;
    }
    tk_file_name relative;
    relative.initialize("trace.log");
    EXPECT_EQ(relative.make_path(), (fs::current_path() / "trace.log").string());

    tk_file_wname wide;
    wide.initialize(L"/donn\u00e9es/caf\u00e9.log");
    EXPECT_EQ(wide.dir, L"/donn\u00e9es/");
    EXPECT_EQ(wide.name, L"caf\u00e9");
    EXPECT_EQ(wide.make_path(), L"/donn\u00e9es/caf\u00e9.log");

    EXPECT_THROW(relative.initialize(nullptr), tk_mail_assertion);
    EXPECT_THROW(relative.initialize(("/" + std::string(PATH_MAX, 'a')).c_str()),
                 tk_mail_assertion);
}

TEST(tk_file, program_path_and_directory) {
    const std::string path = tk_program_path();
    EXPECT_TRUE(path.ends_with("/tk_tests")) << path;
    EXPECT_EQ(tk_program_dir() + "tk_tests", path);
    EXPECT_EQ(tk_program_wdir() + L"tk_tests", tk_program_wpath());
    tk_file_name own;
    own.initialize("");
    EXPECT_EQ(own.dir, tk_program_dir());
    EXPECT_EQ(own.name, "");
}

}  // namespace
