#include "QuorvantaCore/search/PosixRegex.h"

#include <locale.h>

namespace quorvanta::core {
namespace {

// The process-wide "C.UTF-8" locale object, made once and never freed (threads may hold it).
// Null when the C library has no such locale: the thread's own locale is used then.
locale_t utf8Locale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t(0));
    return locale;
}

// Switches the calling thread to the UTF-8 locale for its lifetime.
class Utf8LocaleScope {
public:
    Utf8LocaleScope() : previous_(utf8Locale() ? uselocale(utf8Locale()) : locale_t(0)) {}
    ~Utf8LocaleScope() {
        if (previous_) uselocale(previous_);
    }
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

private:
    locale_t previous_;
};

}  // namespace

int PosixRegex::flags(bool caseSensitive) { return REG_EXTENDED | REG_NOSUB | (caseSensitive ? 0 : REG_ICASE); }

std::unique_ptr<PosixRegex> PosixRegex::compile(const std::string& pattern, bool caseSensitive) {
    return compileWithFlags(pattern, flags(caseSensitive));
}

std::unique_ptr<PosixRegex> PosixRegex::compileWithFlags(const std::string& pattern, int cflags) {
    if (pattern.find('\0') != std::string::npos) return nullptr;
    std::unique_ptr<PosixRegex> re(new PosixRegex);
    Utf8LocaleScope scope;
    // On failure regcomp frees what it allocated: the object is dropped without regfree.
    if (regcomp(&re->re_, pattern.c_str(), cflags) != 0) return nullptr;
    re->compiled_ = true;
    return re;
}

PosixRegex::~PosixRegex() {
    if (compiled_) regfree(&re_);
}

bool PosixRegex::matches(const char* text) const {
    Utf8LocaleScope scope;
    return regexec(&re_, text, 0, nullptr, 0) == 0;
}

}  // namespace quorvanta::core
