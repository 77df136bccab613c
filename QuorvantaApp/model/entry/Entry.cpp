#include "QuorvantaApp/model/entry/Entry.h"

#include "QuorvantaApp/model/columns/KindStyle.h"
#include "QuorvantaApp/model/entry/SelfTest.h"
#include "QuorvantaApp/model/entry/StartupBench.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace quorvanta::app {

void applyOneRunSettings(const EntryOptions& options, platform::Settings& settings) {
    if (options.forcedColumns) ColumnSets::forced = options.forcedColumns;
    if (options.kindStyle) settings.setOverlay(kindStyleKey, *options.kindStyle);
}

namespace {

// `given`, or the process's current folder when it is empty ("/" when that cannot be read).
std::string currentFolderOr(const std::string& given) {
    if (!given.empty()) return given;
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return error ? std::string("/") : here.string();
}

}  // namespace

int runEntry(std::vector<std::string> args, platform::Clock::TimePoint t0, const DesktopRunner& runner,
             EntryServices& services) {
    const EntryOptions options = EntryOptions::read(std::move(args), currentFolderOr(services.currentFolder));
    applyOneRunSettings(options, services.settings ? *services.settings : platform::standardSettings());

    const auto makeModel = [&](platform::MainQueue& main) {
        return AppModel::create(options.roots, options.persist,
                                services.dependencies ? services.dependencies(main) : AppModel::Dependencies(main));
    };
    // Records the status the seam was given, for the caller that gets control back (tests).
    int status = 0;
    ProcessEnd end = services.end;
    end.exit = [&status, seam = services.end.exit](int code) {
        status = code;
        if (seam)
            seam(code);
        else
            _exit(code);
    };

    switch (options.mode) {
        case EntryMode::startupBench: {
            const auto model = makeModel(services.loop);
            StartupBench::run(*model, t0, services.loop, end, services.benchCap);
            return status;
        }
        case EntryMode::selfTest: {
            const auto model = makeModel(services.loop);
            SelfTest::run(*model, options.queries, services.loop, end);
            return status;
        }
        case EntryMode::desktop:
            break;
    }
    const SingleInstance::Claim claim = SingleInstance::claim(services.instance);
    if (!claim.instance) {
        if (!claim.message.empty()) std::fprintf(services.messages, "%s\n", claim.message.c_str());
        end.finish(nullptr, claim.status);
        return status;
    }
    const DesktopStart start = runner.prepare();
    if (!start.main) {
        end.finish(nullptr, start.status);
        return status;
    }
    // The runner's reopen is read at each activation, so a shell may set it once its windows exist.
    claim.instance->listen(*start.main, [&runner] {
        if (runner.reopen) runner.reopen();
    });
    if (runner.claimed) runner.claimed(*claim.instance);
    const auto model = makeModel(*start.main);
    end.finish(model.get(), runner.run(model));
    return status;
}

}  // namespace quorvanta::app
