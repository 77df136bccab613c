// The entry's modes in process: a RunLoop as the main queue (over a fake clock that moves only
// when the loop has nothing to run, or over the real one), settings in memory, a temporary data
// folder, no drives and a mount table of one virtual file system. The end of the process is
// observed through its seam, and what the mode prints goes to a file the test reads back.
#pragma once

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/entry/Entry.h"
#include "QuorvantaCore/lang/Lang.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/settings/Settings.h"
#include "platform/time/Clock.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::app::test {

namespace fs = std::filesystem;

class NoDrives final : public CandidatesProvider {
public:
    std::vector<Candidate> candidates() const override { return {}; }
};

// Lines of a text, without their line ends.
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class EntryWorld {
public:
    explicit EntryWorld(platform::Clock& clock) : loop(clock) {
        fs::create_directories(data());
        core::Lang::shared().setChoice("en");
        out = std::fopen((dir / "out.txt").c_str(), "w");
    }
    ~EntryWorld() {
        if (out) std::fclose(out);
    }

    fs::path data() const { return dir / "data"; }

    AppModel::Dependencies deps(platform::MainQueue& main) {
        AppModel::Dependencies d(main);
        d.prefs = &prefs;
        d.defaults = &settings;
        d.dataFolder = data();
        d.candidates = std::make_shared<NoDrives>();
        d.mounts = [] {
            platform::MountEntry tmp;
            tmp.mountID = 1;
            tmp.root = "/";
            tmp.mountPoint = "/";
            tmp.fsType = "tmpfs";
            tmp.source = "tmpfs";
            return VolumeContext::MountTable(std::vector<platform::MountEntry>{tmp});
        };
        return d;
    }

    // The end of the process as the modes get it: their lines go to `out`, the seam records the
    // status and what `out` held when it was called.
    ProcessEnd end() {
        ProcessEnd e;
        e.out = out;
        e.exit = [this](int status) {
            ended = status;
            printedAtEnd = quorvanta::test::readFile(dir / "out.txt");
        };
        return e;
    }

    EntryServices services() {
        EntryServices s(loop);
        s.settings = &settings;
        s.currentFolder = dir.path().string();
        s.dependencies = [this](platform::MainQueue& main) { return deps(main); };
        s.end = end();
        s.instance.folder = data();
        return s;
    }

    quorvanta::test::TempDir dir;
    platform::RunLoop loop;
    platform::MemorySettings settings;
    Prefs prefs{settings};
    std::FILE* out = nullptr;
    std::optional<int> ended;
    std::string printedAtEnd;
};

// A desktop runner that must not be reached.
inline DesktopRunner noDesktop() {
    DesktopRunner runner;
    runner.prepare = [] {
        ADD_FAILURE() << "the desktop mode was started";
        return DesktopStart{nullptr, 9};
    };
    runner.run = [](const std::shared_ptr<AppModel>&) { return 9; };
    return runner;
}

}  // namespace quorvanta::app::test
