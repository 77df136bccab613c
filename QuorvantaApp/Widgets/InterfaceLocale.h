// The interface language's locale on the Qt side: what LangRoot gives its content, and what
// QLocale's process default follows, so that Qt's own controls and formatting (the results
// table's kind descriptions) speak the chosen language, not the system's. Numbers and dates the
// user reads are formatted by the core (Format.h), never through QLocale.
//
// Threads: main thread.
#pragma once

#include "QuorvantaCore/lang/Lang.h"
#include "platform/dispatch/Executor.h"
#include "platform/notify/Connection.h"
#include "platform/notify/NotificationCenter.h"

#include <QLocale>

namespace quorvanta::app {

// The locale of `lang`'s resolved language: "de", "pt-BR", or under "system" the name of the
// number locale ("de_DE"); Qt reads both separators.
QLocale interfaceLocale(const core::Lang& lang);

// Sets QLocale's default to interfaceLocale(lang) now and after each change of the language,
// announced through `notifications` and run on `mainQueue`. One per process, made before any
// LangRoot: observers are called in the order they began, so the default has moved before any
// root rebuilds its content. The link lasts as long as the returned token.
platform::Connection followInterfaceLocale(core::Lang& lang, platform::NotificationCenter& notifications,
                                           platform::Executor& mainQueue);

}  // namespace quorvanta::app
