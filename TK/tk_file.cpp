#include "TK/tk_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "TK/tk_exception.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

namespace {

// The longest path the platform's calls accept; longer paths are internal errors, as paths
// beyond the Windows limit were.
constexpr size_t path_limit = PATH_MAX - 1;

template <class S>
void split_path(const S& path, tk_basic_file_name<S>& parts) {
    using C = typename S::value_type;
    const size_t slash = path.rfind(C('/'));
    const size_t name_start = slash == S::npos ? 0 : slash + 1;
    parts.drive.clear();
    parts.dir = path.substr(0, name_start);
    const S file = path.substr(name_start);
    const size_t dot = file.rfind(C('.'));
    parts.name = dot == S::npos ? file : file.substr(0, dot);
    parts.ext = dot == S::npos ? S() : file.substr(dot);
}

std::string absolute_path(const char* path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    TK_ASSERT(!error);
    std::string result = full.lexically_normal().string();
    TK_ASSERT(result.size() <= path_limit);
    return result;
}

}  // namespace

bool tk_is_file_exist(const std::string& path, int mode) {
    tk_trace(1, "tk_is_file_exist(%s)", path.c_str());
    struct stat info {};
    bool exists = ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
    const bool read_write = mode == tk_file_read_write;
    if (exists && read_write && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        exists = false;
    }
    if (exists) {
        // Non-blocking, so a named pipe without a writer does not hang the test.
        const int flags = (read_write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        const int fd = ::open(path.c_str(), flags);
        exists = fd >= 0;
        if (exists) {
            ::close(fd);
        }
    }
    if (!exists) {
        tk_trace(1, "File not exists!");
    }
    return exists;
}

bool tk_is_file_exist(const std::wstring& path, int mode) {
    return tk_is_file_exist(tk_ucs2_to_ansi(path), mode);
}

tk_directory_changer::tk_directory_changer(const std::string& directory) {
    const std::string target = directory.empty() ? tk_program_dir() : directory;
    // Remember the current directory as a handle: it survives paths longer than any buffer
    // and needs no read permission on the directory.
    previous_fd_ = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (previous_fd_ < 0) {
        return;
    }
    changed_ = ::chdir(target.c_str()) == 0;
}

tk_directory_changer::~tk_directory_changer() {
    if (changed_ && ::fchdir(previous_fd_) != 0) {
        tk_trace(2, "tk_directory_changer: cannot return to the previous directory");
    }
    if (previous_fd_ >= 0) {
        ::close(previous_fd_);
    }
}

bool tk_is_path_exist(const std::string& directory) {
    tk_trace(1, "tk_is_path_exist(%s)", directory.c_str());
    const tk_directory_changer changer(directory);
    return changer.changed();
}

void tk_file_name::initialize(const char* path) {
    TK_ASSERT(path != nullptr);
    if (*path == '\0') {
        split_path(tk_program_path(), *this);
        name.clear();
        return;
    }
    split_path(absolute_path(path), *this);
}

void tk_file_wname::initialize(const wchar_t* path) {
    TK_ASSERT(path != nullptr);
    tk_trace_w(1, L"tk_file_wname::initialize(%ls)", path);
    tk_file_name narrow;
    narrow.initialize(tk_ucs2_to_ansi(path).c_str());
    ext = tk_ansi_to_ucs2(narrow.ext);
    drive = tk_ansi_to_ucs2(narrow.drive);
    name = tk_ansi_to_ucs2(narrow.name);
    dir = tk_ansi_to_ucs2(narrow.dir);
}

std::string tk_program_path() {
    std::vector<char> buffer(path_limit + 1);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    TK_ASSERT(length > 0 && static_cast<size_t>(length) <= path_limit);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

std::wstring tk_program_wpath() {
    return tk_ansi_to_ucs2(tk_program_path());
}

std::string tk_program_dir() {
    tk_basic_file_name<std::string> parts;
    split_path(tk_program_path(), parts);
    return parts.drive + parts.dir;
}

std::wstring tk_program_wdir() {
    return tk_ansi_to_ucs2(tk_program_dir());
}
