// What the tools share on their command lines: exit statuses, error
// messages naming the program, whole-number options and their values.
#ifndef BV_TOOLS_COMMAND_LINE_H
#define BV_TOOLS_COMMAND_LINE_H

#include <cstdint>
#include <string>

namespace bvtools {

constexpr int EXIT_USAGE = 64;
constexpr int EXIT_SOFTWARE = 70;    // the display could not do what was asked
constexpr int EXIT_CANT_WRITE = 73;

// Names the program in every message; `usage`, when given, follows each
// usage error.
void set_program(const char *name, const char *usage = nullptr);

// Prints "<program>: <message>" to standard error and exits with `status`.
[[noreturn]] void fail(int status, const std::string &message);
// fail(EXIT_USAGE, ...), followed by the usage text when there is one.
[[noreturn]] void usage_error(const std::string &message);

// A whole decimal (or 0x hexadecimal) number within [lo, hi]. With `rest`,
// the number may be followed by more text and *rest points there;
// without, anything after the number makes it false.
bool parse_int(const char *text, long long lo, long long hi, int32_t &out, const char **rest = nullptr);
// "A<sep>B": two such numbers joined by one separator character.
bool parse_pair(const char *text, char sep, long long lo, long long hi, int32_t &a, int32_t &b);

// Answers --help (prints `help` to standard output) and --version (prints
// "<program> (Brivondel) <version>"), then exits 0; returns when argv holds
// neither. Asked before anything else so that both work with any options.
void answer_help_and_version(int argc, char **argv, const char *help);

// Empty when `path` opens for reading, else the system's reason (strerror):
// the library's readers only say that a file could not be opened.
std::string open_failure(const char *path);
// The same reason as a clause to append to a message, ": <reason>", or
// nothing when the file opens.
std::string open_failure_clause(const char *path);

// The value after option argv[i] (advancing i), or a usage error.
const char *option_value(int argc, char **argv, int &i);
// The value of a --depth option: a page depth, 8, 16, 24 or 32.
int32_t depth_option(int argc, char **argv, int &i);

}  // namespace bvtools

#endif
