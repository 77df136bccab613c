#include "QuorvantaApp/SearchView/SearchHistoryButton.h"

#include "QuorvantaApp/SearchView/PlainButton.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/history/SearchHistoryModel.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/text/CharClass.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvanta::app {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette pal = line->palette();
    pal.setColor(QPalette::WindowText, TextTones::colour(TextTone::tertiary, parent->palette()));
    line->setPalette(pal);
    return line;
}

ToneText* caption(const std::string& text, QWidget* parent) {
    auto* label = new ToneText(TextTone::secondary, parent);
    label->setFont(Fonts::system(HistoryPopover::kCaptionSize));
    label->setText(qs(text));
    return label;
}

ToneText* emptyText(const std::string& text, QWidget* parent) {
    auto* label = new ToneText(TextTone::tertiary, parent);
    label->setText(qs(text));
    return label;
}

}  // namespace

HistoryPopover::HistoryPopover(AppModel& model, SearchHistoryModel& history, QWidget* parent)
    : QFrame(parent, Qt::Popup), model_(model), history_(history), refresh_(this, [this] { refresh(); }) {
    // Take the palette and font of the window it opens from, not the application's.
    setAttribute(Qt::WA_WindowPropagation);
    setAttribute(Qt::WA_DeleteOnClose);
    // A click on the history button closes the popover and does not open it again at once.
    setAttribute(Qt::WA_NoMouseReplay);
    setFixedWidth(kWidth);
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSizeConstraint(QLayout::SetFixedSize);
    refresh_.follow(history_.objectWillChange);
    refresh_.follow(model_.objectWillChange);
    build();
}

HistoryPopover::~HistoryPopover() = default;

void HistoryPopover::refresh() {
    // Most changes of the model (a search that ended) change nothing shown here, and a rebuild
    // would lose the row under the pointer.
    if (history_.store.get() == shownStore_ && model_.query.get() == shownQuery_) return;
    build();
    adjustSize();
}

void HistoryPopover::build() {
    if (content_) {
        // A button of the old content may be the one whose click led here.
        content_->hide();
        content_->deleteLater();
    }
    favorites_.clear();
    recent_.clear();
    noFavorites_ = noRecent_ = nullptr;
    clear_ = nullptr;

    content_ = new QWidget(this);
    content_->setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(kSpacing);
    column->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    shownStore_ = history_.store.get();
    shownQuery_ = model_.query.get();
    const core::SearchHistory& lists = shownStore_;
    const std::string trimmed(core::text::trimWhiteSpace(model_.query.get()));
    save_ = new PlainButton(content_);
    const bool favourite = lists.isFavorite(trimmed);
    save_->setGlyph(favourite ? "star.fill" : "star");
    save_->setGlyphTone(TextTone::primary);
    save_->setText(qs(core::tr(favourite ? "Remove from favorites" : "Save this search")));
    save_->setEnabled(!trimmed.empty());
    QObject::connect(save_, &PlainButton::clicked, this, [this, trimmed] { history_.toggleFavorite(trimmed); });
    column->addWidget(save_);
    column->addWidget(divider(content_));

    column->addWidget(caption(core::tr("Favorites"), content_));
    if (lists.favorites.empty()) {
        noFavorites_ = emptyText(core::tr("Nothing saved yet"), content_);
        column->addWidget(noFavorites_);
    }
    addRows(*column, lists.favorites, lists.favorites.size(), favorites_);
    column->addWidget(divider(content_));

    auto* heading = new QWidget(content_);
    auto* headingLine = new QHBoxLayout(heading);
    headingLine->setContentsMargins(0, 0, 0, 0);
    headingLine->addWidget(caption(core::tr("Recent searches"), heading), 0, Qt::AlignVCenter);
    headingLine->addStretch(1);
    if (!lists.history.empty()) {
        clear_ = new PlainButton(heading);
        clear_->setText(qs(core::tr("Clear")));
        clear_->setTextTone(TextTone::secondary);
        clear_->setFont(Fonts::system(kCaptionSize));
        QObject::connect(clear_, &PlainButton::clicked, this, [this] { history_.clearHistory(); });
        headingLine->addWidget(clear_, 0, Qt::AlignVCenter);
    }
    column->addWidget(heading);
    if (lists.history.empty()) {
        noRecent_ = emptyText(core::tr("Nothing yet"), content_);
        column->addWidget(noRecent_);
    }
    addRows(*column, lists.history, SearchHistoryModel::kShownRecent, recent_);

    layout()->addWidget(content_);
    content_->show();
}

void HistoryPopover::addRows(QVBoxLayout& column, const std::vector<std::string>& texts, std::size_t limit,
                             std::vector<Row>& rows) {
    const bool favorites = &rows == &favorites_;
    for (std::size_t i = 0; i < texts.size() && i < limit; ++i) {
        const std::string& text = texts[i];
        auto* line = new QWidget(content_);
        auto* box = new QHBoxLayout(line);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(kRowSpacing);
        auto* entry = new PlainButton(line);
        entry->setText(qs(text));
        entry->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto* cross = new PlainButton(line);
        cross->setGlyph("xmark");
        cross->setGlyphTone(TextTone::tertiary);
        cross->setFont(Fonts::system(kRemoveSize));
        cross->setToolTip(qs(core::tr("Remove")));
        box->addWidget(entry, 1, Qt::AlignVCenter);
        box->addWidget(cross, 0, Qt::AlignVCenter);
        QObject::connect(entry, &PlainButton::clicked, this, [this, text] {
            model_.setQuery(text);
            close();
        });
        QObject::connect(cross, &PlainButton::clicked, this, [this, text, favorites] {
            if (favorites)
                history_.removeFavorite(text);
            else
                history_.removeHistory(text);
        });
        column.addWidget(line);
        rows.push_back({text, entry, cross});
    }
}

void HistoryPopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::bar.in(palette()));
    painter.setPen(TextTones::colour(TextTone::tertiary, palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

SearchHistoryButton::SearchHistoryButton(AppModel& model, SearchHistoryModel& history, QWidget* parent)
    : QWidget(parent), model_(model), history_(history), button_(new PlainButton(this)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button_->setGlyph("clock.arrow.circlepath");
    button_->setGlyphTone(TextTone::secondary);
    button_->setToolTip(qs(core::tr("Saved searches and history")));
    QObject::connect(button_, &PlainButton::clicked, this, [this] { toggle(); });
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(button_);
}

SearchHistoryButton::~SearchHistoryButton() = default;

bool SearchHistoryButton::isOpen() const { return popover_ && popover_->isVisible(); }

HistoryPopover* SearchHistoryButton::popover() const { return isOpen() ? popover_.data() : nullptr; }

void SearchHistoryButton::toggle() {
    if (isOpen()) {
        popover_->close();
        return;
    }
    popover_ = new HistoryPopover(model_, history_, this);
    popover_->adjustSize();
    // Below the button, centred on it, and kept on its screen.
    QPoint at = button_->mapToGlobal(QPoint(button_->width() / 2 - HistoryPopover::kWidth / 2, button_->height() + 4));
    if (const QScreen* screen = button_->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - HistoryPopover::kWidth)));
    }
    popover_->move(at);
    popover_->show();
}

}  // namespace quorvanta::app
