#include "QuorvantaApp/SearchView/SearchView.h"

#include "QuorvantaApp/ResultStates/EmptySources.h"
#include "QuorvantaApp/ResultStates/EmptyState.h"
#include "QuorvantaApp/ResultStates/NoHitsState.h"
#include "QuorvantaApp/ResultStates/ScanState.h"
#include "QuorvantaApp/ResultsTable/ResultsTable.h"
#include "QuorvantaApp/SearchView/PlainButton.h"
#include "QuorvantaApp/SearchView/SearchHistoryButton.h"
#include "QuorvantaApp/StatusBar/StatusBar.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/TopBar/CategoryChip.h"
#include "QuorvantaApp/TopBar/NewDriveBanner.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/history/SearchHistoryModel.h"
#include "QuorvantaApp/model/search/ResultSet.h"
#include "QuorvantaCore/lang/Tr.h"
#include "platform/notify/NotificationCenter.h"
#include "platform/notify/NotificationNames.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace quorvanta::app {
namespace {

// A widget that fills itself with one of the theme's colours.
class Ground final : public QWidget {
public:
    Ground(const DynamicColour& colour, QWidget* parent) : QWidget(parent), colour_(colour) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), colour_.in(palette()));
    }

private:
    const DynamicColour colour_;
};

// The chips' scroll area: no scroll bars, and the wheel scrolls sideways.
class ChipScroll final : public QScrollArea {
public:
    explicit ChipScroll(QWidget* parent) : QScrollArea(parent) {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(false);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        viewport()->setAutoFillBackground(false);
    }

    QSize sizeHint() const override { return widget() ? widget()->sizeHint() : QSize(); }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void wheelEvent(QWheelEvent* event) override {
        const QPoint delta = event->angleDelta();
        const int step = delta.x() != 0 ? delta.x() : delta.y();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step);
        event->accept();
    }
};

bool plainKey(const QKeyEvent& event) { return (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier; }

}  // namespace

// The query text: its Return, Down and Up keys go to the view first.
class SearchView::QueryField final : public QLineEdit {
public:
    explicit QueryField(SearchView& view, QWidget* parent) : QLineEdit(parent), view_(view) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (plainKey(*event)) {
            bool taken = false;
            switch (event->key()) {
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    taken = view_.submit();
                    break;
                case Qt::Key_Down:
                    taken = view_.moveDown();
                    break;
                case Qt::Key_Up:
                    taken = view_.recall();
                    break;
                default:
                    break;
            }
            if (taken) {
                event->accept();
                return;
            }
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    SearchView& view_;
};

// The rounded box around the query row's field; its accent frame shows while the field has focus.
class SearchView::FieldBox final : public QWidget {
public:
    FieldBox(QWidget* field, QWidget* parent) : QWidget(parent), field_(field) {
        setFixedHeight(kFieldHeight);
        field_->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == field_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) update();
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect());
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::field.in(palette()));
        painter.drawRoundedRect(box, kFieldRadius, kFieldRadius);
        if (field_->hasFocus()) {
            // Stroked inside the edge.
            const qreal inset = kFocusFrameWidth / 2;
            painter.setPen(QPen(Theme::accent.in(palette()), kFocusFrameWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(box.adjusted(inset, inset, -inset, -inset), kFieldRadius - inset,
                                    kFieldRadius - inset);
        }
    }

private:
    QWidget* const field_;
};

SearchView::SearchView(AppModel& model, SearchHistoryModel& history, ResultsFactory results, QWidget* parent)
    : QWidget(parent), model_(model), history_(history), refresh_(this, [this] { refresh(); }) {
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    // The top bar: the query row, the chip row and the banner.
    auto* top = new Ground(Theme::bar, this);
    auto* topColumn = new QVBoxLayout(top);
    topColumn->setContentsMargins(0, 0, 0, 0);
    topColumn->setSpacing(0);

    auto* queryRow = new QWidget(top);
    queryRow->setFixedHeight(kQueryRowHeight);
    auto* queryLine = new QHBoxLayout(queryRow);
    // The trailing padding on both sides: a Linux window's decorations lie outside its content.
    queryLine->setContentsMargins(kRowPadding, 0, kRowPadding, 0);
    field_ = new QueryField(*this, nullptr);
    auto* box = new FieldBox(field_, queryRow);
    field_->setParent(box);
    auto* boxLine = new QHBoxLayout(box);
    boxLine->setContentsMargins(kFieldPadding, 0, kFieldPadding, 0);
    boxLine->setSpacing(kFieldSpacing);
    auto* magnifier = new ToneGlyph("magnifyingglass", TextTone::secondary, box);
    magnifier->setFont(Fonts::system(kMagnifierSize, QFont::Medium));
    field_->setFont(Fonts::system(kQueryFontSize));
    field_->setFrame(false);
    field_->setPlaceholderText(QString::fromStdString(core::tr("Search files — e.g. remix ext:flac size:>10mb")));
    QPalette fieldPalette = field_->palette();
    fieldPalette.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(fieldPalette);
    historyButton_ = new SearchHistoryButton(model_, history_, box);
    historyButton_->button()->setFont(Fonts::system(kMagnifierSize));
    clear_ = new PlainButton(box);
    clear_->setGlyph("xmark.circle.fill");
    clear_->setGlyphTone(TextTone::tertiary);
    clear_->setFont(Fonts::system(kMagnifierSize));
    boxLine->addWidget(magnifier, 0, Qt::AlignVCenter);
    boxLine->addWidget(field_, 1, Qt::AlignVCenter);
    boxLine->addWidget(historyButton_, 0, Qt::AlignVCenter);
    boxLine->addWidget(clear_, 0, Qt::AlignVCenter);
    queryLine->addWidget(box, 1, Qt::AlignVCenter);
    topColumn->addWidget(queryRow);

    auto* chipLine = new QHBoxLayout;
    chipLine->setContentsMargins(kRowPadding, 0, kRowPadding, kChipRowBottomPadding);
    chipLine->setSpacing(kChipSpacing);
    auto* scroll = new ChipScroll(top);
    chips_ = new CategoryChipRow(model_);
    scroll->setWidget(chips_);
    // The scroll area fills its widget with the window colour; the chips lie on the bar.
    chips_->setAutoFillBackground(false);
    scroll->setFixedHeight(chips_->sizeHint().height());
    junk_ = new QCheckBox(QString::fromStdString(core::tr("Hidden files")), top);
    junk_->setFont(Fonts::system(kCheckboxFontSize));
    junk_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    chipLine->addWidget(scroll, 1, Qt::AlignVCenter);
    chipLine->addSpacing(kCheckboxGap);
    chipLine->addWidget(junk_, 0, Qt::AlignVCenter);
    topColumn->addLayout(chipLine);

    banner_ = new NewDriveBanner(model_, top);
    topColumn->addWidget(banner_);

    // The results area: the results with at most one cover over them, in one cell.
    auto* areaGround = new Ground(Theme::base, this);
    area_ = new QGridLayout(areaGround);
    area_->setContentsMargins(0, 0, 0, 0);
    auto* holder = new QWidget(areaGround);
    auto* holderLine = new QVBoxLayout(holder);
    holderLine->setContentsMargins(kResultsPadding, 0, kResultsPadding, 0);
    results_ = results ? results(model_, holder) : new ResultsTable(model_, holder);
    holderLine->addWidget(results_);
    area_->addWidget(holder, 0, 0);

    status_ = new StatusBar(model_, this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(top);
    column->addWidget(areaGround, 1);
    column->addWidget(status_);

    QObject::connect(field_, &QLineEdit::textChanged, this,
                     [this](const QString& text) { model_.setQuery(text.toStdString()); });
    QObject::connect(clear_, &PlainButton::clicked, this, [this] {
        model_.setQuery("");
        showQuery();
        focusQuery();
    });
    QObject::connect(junk_, &QCheckBox::clicked, this, [this](bool on) { model_.setShowJunk(on); });

    refresh_.follow(model_.objectWillChange);
    focusRequests_ = platform::NotificationCenter::standard().observe(platform::notification_names::kFocusSearch,
                                                                      model_.mainQueue(), [this] { focusQuery(); });
    refresh();
}

SearchView::~SearchView() = default;

QLineEdit* SearchView::queryField() const { return field_; }

Overlay SearchView::overlay() const {
    OverlayFacts facts;
    const auto& volumes = model_.volumes.get();
    facts.noVolumes = volumes.empty();
    facts.rowsEmpty = model_.results.get()->rows().empty();
    facts.showsEmptyState = model_.showsEmptyState();
    for (const auto& volume : volumes)
        if (volume->scanning.get()) {
            facts.firstScanning = volume;
            break;
        }
    facts.sorting = model_.sorting.get();
    facts.queryError = model_.queryError.get().has_value();
    return app::overlay(facts);
}

void SearchView::refresh() {
    volumes_.follow(model_.volumes.get());
    showQuery();
    junk_->setChecked(model_.showJunk.get());
    updateCover(overlay());
}

void SearchView::showQuery() {
    const QString query = QString::fromStdString(model_.query.get());
    if (field_->text() != query) {
        // Not an edit: the model has the text already, and a second write would search again.
        const QSignalBlocker quiet(field_);
        field_->setText(query);
        field_->setCursorPosition(static_cast<int>(query.size()));
    }
    clear_->setVisible(!query.isEmpty());
}

void SearchView::focusQuery() { field_->setFocus(Qt::OtherFocusReason); }

bool SearchView::submit() {
    history_.record(model_.query.get());
    if (const auto focusTable = model_.focusTable) focusTable();
    return true;
}

bool SearchView::moveDown() {
    if (const auto focusTable = model_.focusTable) focusTable();
    return true;
}

bool SearchView::recall() {
    const auto older = history_.recallOlder(model_.query.get());
    if (!older) return false;
    model_.setQuery(*older);
    showQuery();
    return true;
}

void SearchView::updateCover(const Overlay& now) {
    if (now == shownOverlay_) return;
    shownOverlay_ = now;
    if (cover_) {
        area_->removeWidget(cover_);
        cover_->hide();
        cover_->deleteLater();
        cover_ = nullptr;
    }
    QWidget* state = nullptr;
    switch (now.kind) {
        case Overlay::Kind::none:
            return;
        case Overlay::Kind::noSources:
            state = new EmptySources;
            break;
        case Overlay::Kind::scanning:
            state = new ScanState(now.volume);
            break;
        case Overlay::Kind::empty:
            state = new EmptyState(model_);
            break;
        case Overlay::Kind::noHits:
            state = new NoHitsState;
            break;
    }
    // Painted with the panel's ground, so nothing of the results shows through.
    cover_ = new Ground(Theme::base, area_->parentWidget());
    auto* fill = new QVBoxLayout(cover_);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(state);
    area_->addWidget(cover_, 0, 0);
    cover_->raise();
    cover_->show();
}

void SearchView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && plainKey(*event)) {
        platform::NotificationCenter::standard().post(platform::notification_names::kHideSearch);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SearchView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    focusQuery();
}

void SearchView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::base.in(palette()));
}

}  // namespace quorvanta::app
