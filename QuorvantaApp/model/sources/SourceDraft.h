// SourceDraft: the edit buffer behind the first-run drive chooser and the settings' "Drives and
// folders" section. It holds a copy of each indexable drive's source settings (`cfg`, by drive
// key) and of the include-only text, so the editors change toggles, modes, folder lists and file
// types freely; nothing reaches the preferences or the index until commit().
//
// The drive list is taken once, when the draft is made: a drive mounted later appears only in a
// new draft. A drive's saved value is its entry in Prefs::sources(), else Prefs::defaultSource().
// Right after construction and right after commit(), changed() is false. A draft that is dropped
// writes nothing.
//
// Folders are stored relative to their drive's root, and add() keeps each on its drive. A chosen
// folder is first written in its lexical normal form, so a stored folder never has an empty, "."
// or ".." component and never names the root itself. The boot volume (root "/") takes every
// absolute path except those at or under a mount folder of external drives
// (platform::kExternalDriveFolders): such a folder belongs to a drive that comes and goes, and
// once it is gone its scope would be missing while the boot volume is present. Every other drive
// takes only paths below its root, compared by whole components (/media/me/BackupOld is not on
// /media/me/Backup). Paths are bytes, compared and stored without any change of encoding.
//
// Threads: main thread only, like the preferences it reads and writes.
// Lifetimes: `prefs` outlives the draft.
#pragma once

#include "QuorvantaApp/model/drives/Candidates.h"
#include "QuorvantaApp/model/prefs/Prefs.h"
#include "QuorvantaApp/model/prefs/SourceConfig.h"
#include "QuorvantaApp/model/sources/SourceCommitTarget.h"
#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

class SourceDraft {
public:
    // `candidates` are the drives that can be indexed (the boot volume first); each gets its
    // saved value in `cfg`. `includeOnly` starts as the saved text.
    SourceDraft(Prefs& prefs, std::vector<Candidate> candidates);
    SourceDraft(const SourceDraft&) = delete;
    SourceDraft& operator=(const SourceDraft&) = delete;

    // Fires before each change of a published field.
    core::Signal<> objectWillChange;

    const std::vector<Candidate> candidates;
    // The edited settings, by drive key; one entry per candidate after construction.
    core::Published<SourceMap> cfg{{}, &objectWillChange};
    // The include-only text as typed ("*.mp3;*.flac"); commit() saves it normalised.
    core::Published<std::string> includeOnly{{}, &objectWillChange};

    // The drive's entry in `cfg`, else its default (Prefs::defaultSource): what an editor shows.
    SourceConfig config(const Candidate& candidate) const;
    // Stores `config` whole as the drive's entry in `cfg`.
    void setConfig(const Candidate& candidate, SourceConfig config);

    // Whether the draft differs from what is saved: the accepted include-only extensions in order
    // (rejected entries play no part), then each candidate's entry against its saved value, field
    // by field (folder order counts; no schedule differs from "manual"). A candidate without an
    // entry counts as changed. Saved settings of drives that are not candidates are not looked at.
    bool changed() const;

    // Adds the absolute folder `folder`, chosen by the user, to the drive's folder list (once;
    // `enabled` and `whole` stay as they are), starting from config(candidate). False, changing
    // nothing, when the folder is not on that drive or is its root.
    bool add(std::string_view folder, const Candidate& candidate);

    // Saves the draft and makes the model apply it, in this order: each candidate's entry into
    // Prefs::sources() (entries of other drives stay), the whole table under "sources", the
    // normalised include-only text (accepted extensions as "*.ext;…", rejected entries dropped)
    // into the preferences and into `includeOnly`, then model.applySources().
    void commit(SourceCommitTarget& model);

private:
    Prefs& prefs_;
};

}  // namespace quorvanta::app
