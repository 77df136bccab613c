// The root of every window's content. It builds the content once from a factory, and builds it
// anew when the interface language is changed, so that every text is looked up again in the new
// language; the content gets the interface language's locale. State kept in the content's widgets
// (an open popup, a scroll position) starts afresh; what lives in the models (the query, the
// results, the history) stays, as long as no widget owns it.
//
// It rebuilds on Lang::didChange, posted once the new language has been resolved, and observed on
// the main queue; never on the choice's own signal, which fires before the language is resolved
// (a rebuild there would look the texts up in the old one). Because the change may come from a
// widget inside the content (the settings window's language picker), the old tree is only hidden
// (its popups closed) and deleted with deleteLater, never while that widget's signal is still
// running. Several changes before the main queue comes round rebuild once, for the last choice;
// a change back to the choice the content was built for rebuilds nothing.
//
// Threads: main thread. The language object, the notification centre and the main queue must
// outlive the root.
#pragma once

#include "QuorvantaCore/lang/Lang.h"
#include "platform/dispatch/Executor.h"
#include "platform/notify/Connection.h"
#include "platform/notify/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QVBoxLayout;

namespace quorvanta::app {

class LangRoot final : public QWidget {
public:
    using Factory = std::function<std::unique_ptr<QWidget>()>;

    struct Setup {
        core::Lang& lang;
        platform::NotificationCenter& notifications;
        platform::Executor& mainQueue;
    };

    // Builds the content at once.
    LangRoot(Setup setup, Factory content, QWidget* parent = nullptr);

    // The current content; none when the factory gave none.
    QWidget* content() const { return content_; }

private:
    void languageChanged();
    void build();

    core::Lang& lang_;
    const Factory factory_;
    QVBoxLayout* layout_;
    QPointer<QWidget> content_;
    std::string builtFor_;  // the choice the content was built in
    platform::Connection changes_;
};

}  // namespace quorvanta::app
