// What the report models ask of the windows when they export a list: a save dialog and an alert.
// The models stay free of any toolkit; the shell answers these with its own dialogs and tests
// answer them from a script.
//
// Threads: called on the main thread, from inside an export; both calls are modal and return
// when the user is done.
#pragma once

#include <optional>
#include <string>

namespace quorvanta::app {

// One save dialog: the proposed file name, the file-type filter ("CSV (*.csv)") and the line of
// explanation shown in the dialog. All three are in the interface language already.
struct SaveRequest {
    std::string proposedName;
    std::string filter;
    std::string message;

    friend bool operator==(const SaveRequest&, const SaveRequest&) = default;
};

class ReportDialogs {
public:
    virtual ~ReportDialogs() = default;

    // The path the user chose, or none when the dialog was cancelled.
    virtual std::optional<std::string> chooseSavePath(const SaveRequest& request) = 0;
    // A modal alert with one button: its message and its informative text.
    virtual void showAlert(const std::string& message, const std::string& informative) = 0;
};

}  // namespace quorvanta::app
