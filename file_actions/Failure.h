// Why a file action did not happen, with the text the user is shown. The six cases come in this
// order; each carries one text:
//   missing(path)        nothing exists at the path any more
//   protected_(path)     the path is a protected place
//   invalidName(message) the new name breaks a naming rule; the message is already localised
//   exists(name)         the new name is taken
//   noTrash(path)        no Trash can take the item (a network or read-only drive)
//   system(message)      any other error of the system; the message is already localised
// ("protected" is a keyword, hence the underscore.) Paths and names are localised into their
// sentence by description(), when the failure is shown. Two failures are equal when case and
// text are. what() gives the printed form, `missing("/home/me/a.txt")`, as scripts see errors.
#pragma once

#include <exception>
#include <string>

namespace quorvanta::FileActions {

class Failure : public std::exception {
public:
    enum class Case { missing, protected_, invalidName, exists, noTrash, system };

    static Failure missing(std::string path);
    static Failure protected_(std::string path);
    static Failure invalidName(std::string message);
    static Failure exists(std::string name);
    static Failure noTrash(std::string path);
    static Failure system(std::string message);

    Case errorCase() const noexcept { return case_; }
    // The path, name or message the case carries.
    const std::string& text() const noexcept { return text_; }
    // The text the user is shown, in the interface language; never empty.
    std::string description() const;
    const char* what() const noexcept override { return printed_.c_str(); }

    bool operator==(const Failure& other) const { return case_ == other.case_ && text_ == other.text_; }

private:
    Failure(Case c, std::string text);

    Case case_;
    std::string text_;
    std::string printed_;
};

}  // namespace quorvanta::FileActions
