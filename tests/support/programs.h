// Tests that run the build's programs (bv-pcx, bv-render, outside tools):
// where the build and the sources are, files read back whole, and a
// command's status with its output captured.
#ifndef BV_TESTS_PROGRAMS_H
#define BV_TESTS_PROGRAMS_H

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace bvtest {

// The test entry sets both from the build; "." if a runner cleared them.
inline std::string build_dir() {
    const char *dir = std::getenv("BV_BUILD_DIR");
    return dir != nullptr && dir[0] != '\0' ? dir : ".";
}
inline std::string source_dir() {
    const char *dir = std::getenv("BV_SOURCE_DIR");
    return dir != nullptr && dir[0] != '\0' ? dir : ".";
}

inline std::string shell_quoted(const std::string &s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Empty when the file cannot be read.
inline std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline std::vector<uint8_t> read_bytes(const std::string &path) {
    const std::string s = read_text(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

// The exit status of a shell command line, -1 when it did not exit.
inline int exit_status(const std::string &command) {
    const int raw = std::system(command.c_str());
    return raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

struct ProgramRun {
    int status = -1;
    std::string out, err;
};

// Runs a shell command line with its standard output and error captured.
// ctest runs the cases as parallel processes: each keeps its own files.
inline ProgramRun run_program(const std::string &command) {
    static std::atomic<int> serial{0};
    const std::string stem = testing::TempDir() + "bv_run_" + std::to_string(getpid()) + "_" + std::to_string(serial++);
    const std::string out = stem + ".out", err = stem + ".err";
    ProgramRun r;
    r.status = exit_status(command + " >" + shell_quoted(out) + " 2>" + shell_quoted(err));
    r.out = read_text(out);
    r.err = read_text(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

}  // namespace bvtest

#endif
