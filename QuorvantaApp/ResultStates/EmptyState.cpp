#include "QuorvantaApp/ResultStates/EmptyState.h"

#include "QuorvantaApp/ResultStates/StateFonts.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/CapsuleButton.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/Format.h"

#include <QAbstractButton>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvanta::app {
namespace {

// A button that is only its text, in the theme's accent.
class AccentTextButton final : public QAbstractButton {
public:
    explicit AccentTextButton(QWidget* parent) : QAbstractButton(parent) {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text()) + 2, fontMetrics().height()}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor ink = Theme::accent.in(palette());
        if (isDown()) ink.setAlphaF(0.6);
        painter.setPen(ink);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
        if (hasFocus()) {
            painter.setPen(QPen(ink, 1));
            painter.drawLine(QPoint(1, height() - 1), QPoint(width() - 2, height() - 1));
        }
    }
};

}  // namespace

// The example chips in the arrangement the available width allows, each row centred.
class EmptyState::Examples final : public QWidget {
public:
    explicit Examples(QWidget* parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed); }

    void add(CapsuleButton* chip) {
        chips_.push_back(chip);
        updateGeometry();
    }
    const std::vector<CapsuleButton*>& chips() const { return chips_; }
    ExampleArrangement arrangement() const { return arrangement_; }

    // Chooses the arrangement for `available` pixels.
    void setAvailableWidth(int available) {
        const ExampleArrangement chosen = exampleArrangement(widths(), kExampleSpacing, available);
        if (chosen == arrangement_) return;
        arrangement_ = chosen;
        updateGeometry();
        place();
    }

    QSize sizeHint() const override { return sizeFor(arrangement_); }
    // As narrow as the wider row of three; as high as the current arrangement (a layout takes a
    // fixed height at least as high as the minimum).
    QSize minimumSizeHint() const override {
        return {sizeFor(ExampleArrangement::threeAndThree).width(), sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent*) override { place(); }

private:
    std::vector<int> widths() const {
        std::vector<int> result;
        for (const CapsuleButton* chip : chips_) result.push_back(chip->sizeHint().width());
        return result;
    }
    // The rows of `arrangement` as ranges of chips.
    std::vector<std::span<const int>> rows(const std::vector<int>& all, ExampleArrangement arrangement) const {
        const std::size_t first = firstRowCount(arrangement, all.size());
        std::vector<std::span<const int>> result{std::span<const int>(all).first(first)};
        if (first < all.size()) result.push_back(std::span<const int>(all).subspan(first));
        return result;
    }
    int chipHeight() const { return chips_.empty() ? 0 : chips_.front()->sizeHint().height(); }

    QSize sizeFor(ExampleArrangement arrangement) const {
        const std::vector<int> all = widths();
        int width = 0;
        const auto split = rows(all, arrangement);
        for (const auto row : split) width = std::max(width, rowWidth(row, kExampleSpacing));
        const int count = static_cast<int>(split.size());
        return {width, count * chipHeight() + (count - 1) * kExampleSpacing};
    }

    void place() {
        const std::vector<int> all = widths();
        std::size_t index = 0;
        int y = 0;
        for (const auto row : rows(all, arrangement_)) {
            int x = (width() - rowWidth(row, kExampleSpacing)) / 2;
            for (const int w : row) {
                chips_[index++]->setGeometry(x, y, w, chipHeight());
                x += w + kExampleSpacing;
            }
            y += chipHeight() + kExampleSpacing;
        }
    }

    std::vector<CapsuleButton*> chips_;
    ExampleArrangement arrangement_ = ExampleArrangement::oneRow;
};

EmptyState::EmptyState(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      examples_(new Examples(this)),
      showAll_(new AccentTextButton(this)),
      refresh_(this, [this] { refresh(); }) {
    auto* glyph = new ToneGlyph("magnifyingglass", TextTone::tertiary, this);
    glyph->setFont(state_fonts::symbol(30, QFont::Light));
    auto* title = new ToneText(TextTone::primary, this);
    title->setFont(state_fonts::title());
    title->setText(QString::fromStdString(core::tr("Type to search")));
    auto* tryText = new ToneText(TextTone::secondary, this);
    tryText->setFont(state_fonts::callout());
    tryText->setText(QString::fromStdString(core::tr("Try for example:")));
    for (const std::string_view example : kExampleQueries) examples_->add(exampleChip(example));
    showAll_->setFont(state_fonts::callout());
    QObject::connect(showAll_, &QAbstractButton::clicked, this, [this] { model_.setBrowseAll(true); });

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kSpacing);
    stack->addStretch(1);
    stack->addWidget(glyph, 0, Qt::AlignHCenter);
    stack->addWidget(title, 0, Qt::AlignHCenter);
    stack->addWidget(tryText, 0, Qt::AlignHCenter);
    stack->addWidget(examples_);
    stack->addSpacing(kShowAllTopPadding);
    stack->addWidget(showAll_, 0, Qt::AlignHCenter);
    stack->addStretch(1);

    refresh_.follow(model_.objectWillChange);
    refresh();
}

EmptyState::~EmptyState() = default;

CapsuleButton* EmptyState::exampleChip(std::string_view text) {
    auto* chip = new CapsuleButton(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), examples_);
    chip->setFont(Fonts::monospaced(kExampleFontSize));
    QObject::connect(chip, &QAbstractButton::clicked, this,
                     [this, query = std::string(text)] { model_.setQuery(query); });
    return chip;
}

const std::vector<CapsuleButton*>& EmptyState::exampleChips() const { return examples_->chips(); }

ExampleArrangement EmptyState::arrangement() const { return examples_->arrangement(); }

void EmptyState::resizeEvent(QResizeEvent* event) {
    examples_->setAvailableWidth(contentsRect().width());
    QWidget::resizeEvent(event);
}

void EmptyState::refresh() {
    volumes_.follow(model_.volumes.get());
    std::int64_t total = 0;
    for (const auto& volume : volumes_.followed()) total += volume->count.get();
    const std::string shown = core::Format::count(total, core::Lang::locale());
    const QString text = QString::fromStdString(core::tr("Show all %@ entries", shown));
    if (text != showAll_->text()) {
        showAll_->setText(text);
        showAll_->updateGeometry();
    }
}

}  // namespace quorvanta::app
