// The rules that the drive chooser and the settings' "Drives and folders" section show, as plain
// functions over a SourceDraft, so that the windows only draw what these return: the include-only
// field's feedback line, when "Index" and "Apply changes" are enabled, the hint under "Apply
// changes", and the message for a folder refused by SourceDraft::add().
//
// The texts come in the interface language (tr). Threads: main thread, as the draft.
#pragma once

#include "QuorvantaApp/model/drives/Candidates.h"
#include "QuorvantaApp/model/sources/SourceDraft.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

// One line of feedback under a field of file-type patterns.
struct PatternFeedback {
    std::string text;
    bool isError = false;  // drawn in red; otherwise in the secondary style

    bool operator==(const PatternFeedback&) const = default;
};

// The fields that report entries the pattern parse rejected: the include-only field explains the
// form it expects; a category row has room for the short lead only.
enum class PatternField { includeOnly, category };

// The field's lead followed by the rejected entries as typed, joined by single spaces
// ("Not understood: *.fl?c x/y"); none when nothing was rejected.
std::optional<std::string> rejectedPatternsLine(const std::vector<std::string>& rejected, PatternField field);

// The include-only field's line for `text`: the rejected entries in red when there are any, else
// how many distinct file types are indexed, else that all files are.
PatternFeedback includeOnlyFeedback(std::string_view text);

// Whether the chooser's "Index" is enabled: some drive in the draft is enabled and indexes either
// the whole drive or at least one folder.
bool canIndex(const SourceDraft& draft);

// Whether "Apply changes" is enabled: the draft changed and its include-only text has no rejected
// entry.
bool canApply(const SourceDraft& draft);
// The hint under "Apply changes": that changed drives are scanned again while the draft changed,
// else that the application indexes only what is selected.
std::string applyHint(const SourceDraft& draft);

// The message for a folder that SourceDraft::add() refused for the drive: the folder's last
// component and the drive's name in curly quotes (shown as UTF-8, ill-formed bytes replaced).
std::string refusalMessage(std::string_view folder, const Candidate& candidate);

}  // namespace quorvanta::app
