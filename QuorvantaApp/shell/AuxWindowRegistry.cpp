#include "QuorvantaApp/shell/AuxWindowRegistry.h"

#include "QuorvantaApp/SearchSyntax/SearchSyntaxView.h"
#include "QuorvantaApp/shell/DesktopServices.h"

#include <utility>

namespace quorvanta::app {

void AuxWindowRegistry::add(AuxWindow window, AuxWindowContent content) { contents_[window] = std::move(content); }

const AuxWindowContent* AuxWindowRegistry::content(AuxWindow window) const {
    const auto found = contents_.find(window);
    return found == contents_.end() ? nullptr : &found->second;
}

AuxWindowRegistry applicationWindows(std::string syntaxPage, DesktopServices& desktop) {
    AuxWindowRegistry registry;
    registry.add(AuxWindow::syntax, {[page = std::move(syntaxPage), &desktop](const AuxWindowContext&) {
                                         return std::make_unique<SearchSyntaxView>(SearchSyntaxView::Setup{
                                             page, [&desktop](const std::string& url) { desktop.openUrl(url); }});
                                     },
                                     {}});
    return registry;
}

}  // namespace quorvanta::app
