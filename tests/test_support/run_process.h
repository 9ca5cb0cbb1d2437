// Runs a program to its end and keeps what it wrote to standard output and standard error,
// and its exit status, for process tests.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_support/temp_dir.h"

extern char** environ;

namespace test_support {

struct process_result {
    std::string out;
    std::string err;
    int status = -1;  // the exit status as a shell shows it (0..255); -1 when it did not exit

    // What the agent printed before its closing summary.
    std::string before_summary() const { return out.substr(0, out.find("Summary:\n")); }
    // The summary's line of a table (its name and figures), empty when there is none.
    std::string summary_line(const std::string& table) const {
        const size_t summary = out.find("Summary:\n");
        if (summary == std::string::npos) {
            return {};
        }
        for (size_t at = out.find('\n', summary) + 1; at < out.size();) {
            const size_t end = out.find('\n', at);
            const std::string line = out.substr(at, end - at);
            if (line.rfind(table + " ", 0) == 0) {
                return line;
            }
            at = end == std::string::npos ? out.size() : end + 1;
        }
        return {};
    }
};

// The program's path: $TARVOLIN_BIN_DIR/<name>.
inline std::string program_path(const std::string& name) {
    const char* bin = std::getenv("TARVOLIN_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/" + name;
}

// Runs the program in a folder of its own, removed afterwards.
inline process_result run_process(const std::string& program,
                                  const std::vector<std::string>& args) {
    temp_dir dir;
    const std::string out_path = (dir.path() / "out").string();
    const std::string err_path = (dir.path() / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // A file the program leaves in its working folder (a rejects file without a log folder)
    // goes with the run, not into the build folder.
    posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    process_result result;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.err = "cannot start " + program;
        return result;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return result;
        }
    }
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    const auto slurp = [](const std::string& path) {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    };
    result.out = slurp(out_path);
    result.err = slurp(err_path);
    return result;
}

}  // namespace test_support
