// Sets the shared interface language for one test and restores the earlier choice afterwards.
#pragma once

#include "QuorvantaCore/lang/Lang.h"

#include <string>

namespace quorvanta::app::test {

class LanguageScope {
public:
    explicit LanguageScope(const std::string& code) : before_(core::Lang::shared().choice()) {
        core::Lang::shared().setChoice(code);
    }
    ~LanguageScope() { core::Lang::shared().setChoice(before_); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    std::string before_;
};

}  // namespace quorvanta::app::test
