// Sets (or unsets) one environment variable for the life of the object, then restores it.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace quorvanta::test {

class EnvOverride {
public:
    EnvOverride(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~EnvOverride() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace quorvanta::test
