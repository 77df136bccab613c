#include "QuorvantaApp/shell/OnboardingWindow.h"

#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvanta::app {
namespace {

// The design's text styles: the title, the body and the callout of the steps.
constexpr qreal kTitleSize = 17;
constexpr qreal kCalloutSize = 12;
constexpr qreal kSymbolSize = 34;

QString text(const std::string& value) { return QString::fromStdString(value); }

QWidget* step(const char* glyph, const QString& line, int lineWidth, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setFont(Fonts::system(kCalloutSize));
    auto* symbol = new ToneGlyph(glyph, TextTone::primary, row);
    auto* words = new ToneParagraph(TextTone::primary, lineWidth - symbol->sizeHint().width() - 8, row);
    words->setText(line);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(symbol, 0, Qt::AlignTop);
    layout->addWidget(words, 1);
    return row;
}

}  // namespace

OnboardingView::OnboardingView(const std::vector<std::string>& closed, const Actions& actions, QWidget* parent)
    : QWidget(parent),
      folders_(new QListWidget(this)),
      open_(new QPushButton(text(core::tr("Open folder")), this)),
      restart_(new QPushButton(text(core::tr("Restart %@", core::AppInfo::name())), this)),
      later_(new QPushButton(text(core::tr("Later")), this)) {
    const std::string name = core::AppInfo::name();
    const int lineWidth = kWidth - 2 * kPadding;
    setFixedWidth(kWidth);
    setFont(Fonts::system(Fonts::kDesignBodySize));

    auto* symbol = new ToneGlyph("externaldrive.badge.checkmark", TextTone::accent, this);
    symbol->setFont(Fonts::system(kSymbolSize));
    auto* headline = new ToneParagraph(TextTone::primary, lineWidth, this);
    headline->setFont(Fonts::system(kTitleSize, QFont::Bold));
    headline->setText(text(core::tr("%@ cannot read some of your folders", name)));
    auto* explanation = new ToneParagraph(TextTone::secondary, lineWidth, this);
    explanation->setText(
        text(core::tr("%@ indexes only what your user account may read, and the folders below are closed to it. %@ "
                      "only reads file names and metadata and never changes anything.",
                      name, name)));

    // The paths as they are, one a line; selectable so they can be copied. It takes the focus
    // only when clicked, so the window opens with it on the default button.
    folders_->setFont(Fonts::system(kCalloutSize));
    folders_->setFocusPolicy(Qt::ClickFocus);
    folders_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    folders_->setTextElideMode(Qt::ElideNone);
    for (const std::string& folder : closed) folders_->addItem(text(folder));
    const int shown = std::clamp(static_cast<int>(closed.size()), 1, kVisibleFolders);
    const int rowHeight = std::max(folders_->sizeHintForRow(0), QFontMetrics(folders_->font()).height());
    folders_->setFixedHeight(shown * rowHeight + 2 * folders_->frameWidth() + 2);

    auto* steps = new QVBoxLayout;
    steps->setSpacing(kStepSpacing);
    steps->addWidget(step("1.circle", text(core::tr("Click “Open folder”")), lineWidth, this));
    steps->addWidget(
        step("2.circle",
             text(core::tr("Give your user read access to the folder, or leave it out of the sources in Settings")),
             lineWidth, this));
    steps->addWidget(step("3.circle", text(core::tr("Restart %@", name)), lineWidth, this));

    open_->setDefault(true);
    for (QPushButton* button : {restart_, later_}) button->setAutoDefault(false);
    QObject::connect(open_, &QPushButton::clicked, this, [openFolder = actions.openFolder] {
        if (openFolder) openFolder();
    });
    QObject::connect(restart_, &QPushButton::clicked, this, [restart = actions.restart] {
        if (restart) restart();
    });
    QObject::connect(later_, &QPushButton::clicked, this, [later = actions.later] {
        if (later) later();
    });
    // Return and the keypad's Enter press the default button wherever the focus is in the window.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, open_, &QPushButton::click);
    }
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(open_);
    buttons->addWidget(restart_);
    buttons->addStretch(1);
    buttons->addWidget(later_);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    stack->setSpacing(kSpacing);
    stack->addWidget(symbol, 0, Qt::AlignLeft);
    stack->addWidget(headline);
    stack->addWidget(explanation);
    stack->addWidget(folders_);
    stack->addLayout(steps);
    stack->addLayout(buttons);
}

OnboardingWindow::OnboardingWindow(Setup setup, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint),
      root_(new LangRoot(setup.lang, [closed = std::move(setup.closed), actions = std::move(setup.actions)] {
          return std::make_unique<OnboardingView>(closed, actions);
      })) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    retitle();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window takes the size of its content, also when a language change makes it taller.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(root_);
}

QString OnboardingWindow::title() { return text(core::tr("Welcome to %@", core::AppInfo::name())); }

void OnboardingWindow::retitle() { setWindowTitle(title()); }

void OnboardingWindow::present() {
    // Polished and laid out first, so the size it is centred by is the size it is shown at.
    ensurePolished();
    layout()->activate();
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
}

OnboardingView* OnboardingWindow::view() const { return dynamic_cast<OnboardingView*>(root_->content()); }

}  // namespace quorvanta::app
