#include "command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bvtools {

namespace {
const char *program_name = "bv-tool";
const char *usage_text = nullptr;
}  // namespace

void set_program(const char *name, const char *usage) {
    program_name = name;
    usage_text = usage;
}

void fail(int status, const std::string &message) {
    std::fprintf(stderr, "%s: %s\n", program_name, message.c_str());
    std::exit(status);
}

void usage_error(const std::string &message) {
    fail(EXIT_USAGE, usage_text == nullptr ? message : message + "\n" + usage_text);
}

bool parse_int(const char *text, long long lo, long long hi, int32_t &out, const char **rest) {
    errno = 0;
    char *end = nullptr;
    const long long v = std::strtoll(text, &end, 0);
    if (end == text || errno != 0 || v < lo || v > hi) return false;
    if (rest != nullptr)
        *rest = end;
    else if (*end != '\0')
        return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool parse_pair(const char *text, char sep, long long lo, long long hi, int32_t &a, int32_t &b) {
    const char *rest = nullptr;
    if (!parse_int(text, lo, hi, a, &rest) || *rest != sep) return false;
    return parse_int(rest + 1, lo, hi, b);
}

void answer_help_and_version(int argc, char **argv, const char *help) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            std::exit(0);
        }
        if (arg == "--version") {
            std::printf("%s (Brivondel) %s\n", program_name, BV_VERSION);
            std::exit(0);
        }
    }
}

std::string open_failure(const char *path) {
    std::FILE *file = std::fopen(path, "rb");
    if (file != nullptr) {
        std::fclose(file);
        return "";
    }
    return std::strerror(errno);
}

std::string open_failure_clause(const char *path) {
    const std::string why = open_failure(path);
    return why.empty() ? why : ": " + why;
}

const char *option_value(int argc, char **argv, int &i) {
    if (i + 1 >= argc) usage_error(std::string("option ") + argv[i] + " needs a value");
    return argv[++i];
}

int32_t depth_option(int argc, char **argv, int &i) {
    const char *v = option_value(argc, argv, i);
    int32_t depth = 0;
    if (!parse_int(v, 0, 64, depth) || (depth != 8 && depth != 16 && depth != 24 && depth != 32))
        usage_error(std::string("--depth must be 8, 16, 24 or 32, not '") + v + "'");
    return depth;
}

}  // namespace bvtools
