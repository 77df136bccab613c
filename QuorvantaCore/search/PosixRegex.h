// PosixRegex: one compiled POSIX extended regular expression (glibc `regcomp`), compiled and run
// under the "C.UTF-8" locale of the calling thread only, so that case-insensitive matching folds
// non-ASCII letters and "." matches a whole character whatever the process locale is. A name that
// is not valid UTF-8 simply fails to match where its bad bytes would have to.
//
// Threads: glibc locks inside `regexec`, so one object is used by one thread at a time; workers
// compile their own copy from the same source.
#pragma once

#include <regex.h>

#include <memory>
#include <string>

namespace quorvanta::core {

class PosixRegex {
public:
    // Compiles with REG_EXTENDED | REG_NOSUB, plus REG_ICASE unless caseSensitive. Null when the
    // pattern does not compile or holds a NUL byte (cut there it would be another expression).
    static std::unique_ptr<PosixRegex> compile(const std::string& pattern, bool caseSensitive);
    // The flags `compile` uses.
    static int flags(bool caseSensitive);
    // As `compile`, with the flags given.
    static std::unique_ptr<PosixRegex> compileWithFlags(const std::string& pattern, int cflags);

    PosixRegex(const PosixRegex&) = delete;
    PosixRegex& operator=(const PosixRegex&) = delete;
    ~PosixRegex();

    // Whether the NUL-terminated text matches anywhere.
    bool matches(const char* text) const;

private:
    PosixRegex() = default;
    regex_t re_{};
    bool compiled_ = false;
};

}  // namespace quorvanta::core
