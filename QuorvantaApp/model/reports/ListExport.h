// The export flow the duplicate finder and the clean-up report share: a save dialog, then the list
// rendered as it is at that moment, written whole through core::ExportFile::save, and an alert
// when the file is refused. Neither report writes anything else, and neither deletes or moves a
// file; the dialog's message says so.
//
// Threads: the main thread.
#pragma once

#include "QuorvantaApp/model/reports/ReportDialogs.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvanta::app {

// The mount folders of external drives, where no list is ever written.
std::vector<std::string> defaultExternalFolders();

// The dialog's message: "The export only writes a list. <name> deletes and moves nothing."
std::string exportMessage();
// The file-type filters of the dialogs.
std::string csvFilter();
std::string m3uFilter();

// Asks `dialogs` for a path with `request`. When one was chosen, renders the text and saves it
// there, refusing paths in or below `externalFolders`; a refused or failed write shows the alert
// "Export not possible" and leaves the file system as it was. A cancelled dialog ends the export
// without a word.
void runExport(ReportDialogs& dialogs, const SaveRequest& request, const std::function<std::string()>& render,
               const std::vector<std::string>& externalFolders);

}  // namespace quorvanta::app
