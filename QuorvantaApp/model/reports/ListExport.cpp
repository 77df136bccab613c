#include "QuorvantaApp/model/reports/ListExport.h"

#include "QuorvantaCore/index/ExportFile.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/volumes/ExternalDrives.h"

#include <string_view>

namespace quorvanta::app {

std::vector<std::string> defaultExternalFolders() {
    return {platform::kExternalDriveFolders.begin(), platform::kExternalDriveFolders.end()};
}

std::string exportMessage() {
    return core::tr("The export only writes a list. %@ deletes and moves nothing.", core::AppInfo::name());
}

std::string csvFilter() { return core::tr("CSV (*.csv)"); }

std::string m3uFilter() { return core::tr("M3U playlist (*.m3u)"); }

void runExport(ReportDialogs& dialogs, const SaveRequest& request, const std::function<std::string()>& render,
               const std::vector<std::string>& externalFolders) {
    const std::optional<std::string> path = dialogs.chooseSavePath(request);
    if (!path) return;
    const std::vector<std::string_view> folders(externalFolders.begin(), externalFolders.end());
    if (core::ExportFile::save(render(), *path, folders)) return;
    dialogs.showAlert(core::tr("Export not possible"),
                      core::tr("Lists are only written as .csv/.m3u and never to external drives (/media, /run/media, "
                               "/mnt). Choose a folder on the internal volume."));
}

}  // namespace quorvanta::app
