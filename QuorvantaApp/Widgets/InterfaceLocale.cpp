#include "QuorvantaApp/Widgets/InterfaceLocale.h"

#include <QString>

namespace quorvanta::app {

QLocale interfaceLocale(const core::Lang& lang) {
    return QLocale(QString::fromStdString(lang.language()->locale.identifier()));
}

platform::Connection followInterfaceLocale(core::Lang& lang, platform::NotificationCenter& notifications,
                                           platform::Executor& mainQueue) {
    QLocale::setDefault(interfaceLocale(lang));
    return notifications.observe(core::Lang::didChange, mainQueue,
                                 [&lang] { QLocale::setDefault(interfaceLocale(lang)); });
}

}  // namespace quorvanta::app
