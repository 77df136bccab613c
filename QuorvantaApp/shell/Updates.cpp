#include "QuorvantaApp/shell/Updates.h"

#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"

namespace quorvanta::app {

Updates& Updates::shared() {
    static QtDialogs dialogs;
    static Updates updates(dialogs);
    return updates;
}

Updates::Updates(DialogPresenter& dialogs) : dialogs_(dialogs) {}

void Updates::check(QWidget* parent) { dialogs_.alert(notSetUpAlert(), parent); }

Alert Updates::notSetUpAlert() {
    Alert alert;
    alert.style = Alert::Style::informational;
    alert.message = core::tr("Updates are not set up in this version");
    alert.informative = core::tr(
        "This %@ version does not update itself. Install new versions through your package manager or the way "
        "you installed this one.",
        core::AppInfo::name());
    return alert;
}

}  // namespace quorvanta::app
