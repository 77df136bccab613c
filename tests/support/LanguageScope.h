// Holds the shared interface language at `code` while it lives; restores the earlier choice after.
#pragma once

#include "QuorvantaCore/lang/Lang.h"

#include <string>

namespace quorvanta::test {

class LanguageScope {
public:
    explicit LanguageScope(const std::string& code = "en") : before_(core::Lang::shared().choice()) {
        core::Lang::shared().setChoice(code);
    }
    ~LanguageScope() { core::Lang::shared().setChoice(before_); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    std::string before_;
};

}  // namespace quorvanta::test
