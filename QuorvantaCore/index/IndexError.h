// The errors a scan of a volume index throws. They carry no text of their own: callers show the
// printed form, the case name with its payload quoted, `cannotOpen("/some/root")` or `cancelled`,
// which is what `what()` gives.
#pragma once

#include <exception>
#include <string>

namespace quorvanta::core {

class IndexError : public std::exception {
public:
    enum class Case {
        cannotOpen,  // a root could not be opened as a folder; the payload is that root
        cancelled,   // the index's scans were cancelled
    };

    static IndexError cannotOpen(std::string path);
    static IndexError cancelled();

    Case errorCase() const noexcept { return case_; }
    // The root that could not be opened; empty for `cancelled`.
    const std::string& path() const noexcept { return path_; }
    const char* what() const noexcept override { return printed_.c_str(); }

private:
    IndexError(Case c, std::string path, std::string printed);

    Case case_;
    std::string path_;
    std::string printed_;
};

}  // namespace quorvanta::core
