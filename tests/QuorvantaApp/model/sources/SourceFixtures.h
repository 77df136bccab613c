// What the source draft's tests share: drives on Linux roots, a home folder whose personal folders
// the test chooses, preferences over a store in memory, and a stand-in for the application model
// that records what was saved when it was asked to apply the sources.
#pragma once

#include "QuorvantaApp/model/drives/Candidates.h"
#include "QuorvantaApp/model/prefs/Prefs.h"
#include "QuorvantaApp/model/sources/SourceCommitTarget.h"
#include "QuorvantaApp/model/sources/SourceDraft.h"
#include "platform/settings/Settings.h"

#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app::test {

inline const Candidate kSystem{"sys-uuid", "Computer", "/", "", true, false};
inline const Candidate kBackup{"backup-uuid", "Backup", "/media/me/Backup", "", false, false};
inline const Candidate kHomePartition{"home-uuid", "home", "/home", "", false, false};
inline const Candidate kNas{"nas-uuid", "NAS", "/mnt/nas", "", false, true};

// HOME (and XDG_CONFIG_HOME, so no user-dirs.dirs is read) in a temporary folder holding the given
// folders below the home, while the object lives.
class TempHome {
public:
    explicit TempHome(const std::vector<std::string>& folders = {})
        : home_("HOME", (dir_ / "home").string()), config_("XDG_CONFIG_HOME", (dir_ / "config").string()) {
        std::filesystem::create_directories(dir_ / "home");
        for (const auto& folder : folders) std::filesystem::create_directories(dir_ / "home" / folder);
    }
    // A folder below the home as the source settings store it: no leading "/".
    std::string relative(const std::string& below) const { return (dir_ / "home" / below).relative_path().string(); }

private:
    quorvanta::test::TempDir dir_;
    quorvanta::test::EnvOverride home_;
    quorvanta::test::EnvOverride config_;
};

// Preferences over a fresh store holding "sources" and "includeOnly" when given.
struct Stored {
    platform::MemorySettings settings;
    std::unique_ptr<Prefs> prefs;

    explicit Stored(const std::optional<std::string>& sources = std::nullopt,
                    const std::optional<std::string>& includeOnly = std::nullopt) {
        if (sources) settings.setData(Prefs::sourcesKey, *sources);
        if (includeOnly) settings.setText(Prefs::includeOnlyKey, *includeOnly);
        prefs = std::make_unique<Prefs>(settings);
    }
};

// The application model as commit() sees it: each call records the stored "sources" and
// "includeOnly" and the draft's include-only text at that moment.
class RecordingModel final : public SourceCommitTarget {
public:
    struct Call {
        std::optional<std::string> sources;
        std::optional<std::string> includeOnly;
        std::string draftIncludeOnly;
    };

    RecordingModel(const platform::Settings& settings, const SourceDraft& draft) : settings_(settings), draft_(draft) {}
    void applySources() override {
        calls.push_back(
            {settings_.data(Prefs::sourcesKey), settings_.text(Prefs::includeOnlyKey), *draft_.includeOnly});
    }

    std::vector<Call> calls;

private:
    const platform::Settings& settings_;
    const SourceDraft& draft_;
};

}  // namespace quorvanta::app::test
