// File-system services: existence and access tests, the scoped directory changer, path
// splitting and joining, and the running program's own path.
//
// A Windows read-only file is, here, a file without any write permission bit. The test looks
// at the bits with stat rather than trying to open the file, so root (which may open any file
// for writing) gets the same answer as any other user. Directories are never "files".
//
// System failures are answered with false or an empty result; only bad arguments (a null
// path) and an unreadable program path raise tk_mail_assertion.
#pragma once

#include <string>

// Mode for tk_is_file_exist: the file must open for reading and writing.
constexpr int tk_file_read_write = 1;
// Mode for tk_is_file_exist: the file must open for reading (any mode other than 1 means this).
constexpr int tk_file_read = 0x4000;

// True when the path names an existing file (not a directory) that opens for reading and
// writing (mode 1) or for reading (any other mode). Logs "tk_is_file_exist(%s)" and, when
// false, "File not exists!".
bool tk_is_file_exist(const std::string& path, int mode);
bool tk_is_file_exist(const std::wstring& path, int mode);

// True when the current directory can be changed to the directory; the current directory is
// the same afterwards. An empty directory stands for the program's directory.
bool tk_is_path_exist(const std::string& directory);

// Changes the current directory for its lifetime and changes back when it is destroyed (when
// the change succeeded). The current directory belongs to the process, so two changers on two
// threads disturb each other.
class tk_directory_changer {
  public:
    // An empty directory means the program's directory.
    explicit tk_directory_changer(const std::string& directory);
    ~tk_directory_changer();
    tk_directory_changer(const tk_directory_changer&) = delete;
    tk_directory_changer& operator=(const tk_directory_changer&) = delete;

    bool changed() const { return changed_; }

  private:
    int previous_fd_ = -1;  // the directory to return to
    bool changed_ = false;
};

// A path split into its parts; joined again by make_path. On this platform drive is always
// empty and dir keeps its leading and trailing slash ("/logs/"); ext keeps its dot.
template <class S>
struct tk_basic_file_name {
    S ext;
    S drive;
    S name;
    S dir;

    // Joins drive, dir, name and ext.
    S make_path() const { return drive + dir + name + ext; }
};

struct tk_file_name : tk_basic_file_name<std::string> {
    // Makes the path absolute (lexically: "." and ".." are folded, links are not followed) and
    // splits it. An empty path stands for the program's own path, with name left empty.
    // A null path, or one longer than the platform's path limit, raises tk_mail_assertion.
    void initialize(const char* path);
};

struct tk_file_wname : tk_basic_file_name<std::wstring> {
    // As tk_file_name::initialize; logs "tk_file_wname::initialize(%s)".
    void initialize(const wchar_t* path);
};

// The full path of the running program; tk_mail_assertion when it cannot be read.
std::string tk_program_path();
std::wstring tk_program_wpath();
// The program's directory, with its trailing slash.
std::string tk_program_dir();
std::wstring tk_program_wdir();
