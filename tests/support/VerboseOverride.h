// Sets the verbose switch (platform::verbose) for the life of the object, then puts back what it
// was. The switch is process-wide, like the environment variable it stands for.
#pragma once

#include "platform/diagnostics/Verbose.h"

namespace quorvanta::test {

class VerboseOverride {
public:
    explicit VerboseOverride(bool on) : old_(platform::verbose()) { platform::setVerbose(on); }
    ~VerboseOverride() { platform::setVerbose(old_); }
    VerboseOverride(const VerboseOverride&) = delete;
    VerboseOverride& operator=(const VerboseOverride&) = delete;

private:
    bool old_;
};

}  // namespace quorvanta::test
