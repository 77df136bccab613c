#include "QuorvantaApp/Widgets/LangRoot.h"

#include "QuorvantaApp/Widgets/InterfaceLocale.h"

#include <QVBoxLayout>

namespace quorvanta::app {
namespace {

// Closes the windows that belong to `tree` (popups, menus, tool windows): hiding a widget hides
// its children but not the windows parented to it.
void closeWindowsOf(QWidget& tree) {
    for (QWidget* child : tree.findChildren<QWidget*>())
        if (child->isWindow() && child->isVisible()) child->close();
}

}  // namespace

LangRoot::LangRoot(Setup setup, Factory content, QWidget* parent)
    : QWidget(parent), lang_(setup.lang), factory_(std::move(content)), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    build();
    changes_ = setup.notifications.observe(core::Lang::didChange, setup.mainQueue, [this] { languageChanged(); });
}

void LangRoot::languageChanged() {
    if (lang_.choice() == builtFor_) return;
    if (content_) {
        closeWindowsOf(*content_);
        content_->hide();
        layout_->removeWidget(content_);
        content_->deleteLater();
        content_ = nullptr;
    }
    build();
}

void LangRoot::build() {
    builtFor_ = lang_.choice();
    auto content = factory_ ? factory_() : nullptr;
    if (!content) return;
    content->setLocale(interfaceLocale(lang_));
    content_ = content.release();
    layout_->addWidget(content_);
}

}  // namespace quorvanta::app
