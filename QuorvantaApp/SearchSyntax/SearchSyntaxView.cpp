#include "QuorvantaApp/SearchSyntax/SearchSyntaxView.h"

#include "QuorvantaApp/SearchSyntax/SyntaxRows.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/ToneLabel.h"
#include "QuorvantaCore/lang/Tr.h"

#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quorvanta::app {

namespace {

constexpr int kPadding = 20;
constexpr int kSpacing = 10;
constexpr int kRowSpacing = 12;  // between an example and its explanation
constexpr int kRowGap = 8;       // between rows
constexpr int kCardPadding = 10;
constexpr qreal kCardRadius = 8;
constexpr qreal kTitleSize = 17;
constexpr qreal kTextSize = 12;

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// The rounded panel a section's rows sit on, as an inset list draws them.
class SectionCard final : public QFrame {
public:
    SectionCard() { setAttribute(Qt::WA_StyledBackground, false); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), kCardRadius, kCardRadius);
        painter.fillPath(path, Theme::bar.in(palette()));
    }
};

// An example as typed: plain text that the mouse and the keyboard can select. Ctrl+C copies the
// selection here; without this, the menus' application-wide Copy would take the key first.
class ExampleLabel final : public QLabel {
public:
    explicit ExampleLabel(const QString& text) {
        setTextFormat(Qt::PlainText);
        setText(text);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setFont(Fonts::monospaced(kTextSize));
        setWordWrap(true);
        setFixedWidth(SearchSyntaxView::kExampleWidth);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->matches(QKeySequence::Copy) && hasSelectedText()) {
                event->accept();
                return true;
            }
        }
        return QLabel::event(event);
    }
};

}  // namespace

SearchSyntaxView::SearchSyntaxView(Setup setup, QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(kSpacing);

    title_ = new QLabel(qs(core::tr("Search Syntax")));
    title_->setTextFormat(Qt::PlainText);
    title_->setFont(Fonts::system(kTitleSize, QFont::Bold));
    column->addWidget(title_);

    sentence_ = new ToneLabel(TextTone::secondary,
                              qs(core::tr("Combine as many as you like, for example ext:mp3 size:>5mb !live")));
    sentence_->setFont(Fonts::system(kTextSize));
    sentence_->setWordWrap(true);
    column->addWidget(sentence_);

    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(buildSections());
    scroll->viewport()->setAutoFillBackground(false);
    column->addWidget(scroll, 1);

    if (!setup.webPage.empty()) {
        const QString url = QString::fromStdString(setup.webPage);
        link_ = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                               .arg(url.toHtmlEscaped(), qs(core::tr("Search syntax on the web")).toHtmlEscaped()));
        link_->setTextFormat(Qt::RichText);
        link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        link_->setOpenExternalLinks(false);
        link_->setFont(Fonts::system(kTextSize));
        connect(link_, &QLabel::linkActivated, this, [page = setup.webPage, open = setup.open](const QString&) {
            if (open) open(page);
        });
        column->addWidget(link_);
    }
}

QWidget* SearchSyntaxView::buildSections() {
    auto* list = new QWidget;
    list->setAutoFillBackground(false);
    auto* sections = new QVBoxLayout(list);
    sections->setContentsMargins(0, 0, 0, 0);
    sections->setSpacing(kSpacing);
    for (const auto& section : syntaxSections()) {
        auto* heading = new ToneLabel(TextTone::secondary, qs(core::tr(section.title)));
        heading->setFont(Fonts::system(kTextSize, QFont::DemiBold));
        headings_.push_back(heading);
        sections->addWidget(heading);

        auto* card = new SectionCard;
        auto* rows = new QGridLayout(card);
        rows->setContentsMargins(kCardPadding, kCardPadding, kCardPadding, kCardPadding);
        rows->setHorizontalSpacing(kRowSpacing);
        rows->setVerticalSpacing(kRowGap);
        rows->setColumnStretch(1, 1);
        int at = 0;
        for (const auto& row : section.rows) {
            auto* example = new ExampleLabel(qs(row.example));
            auto* explanation = new ToneLabel(TextTone::secondary, qs(core::tr(row.explanation)));
            explanation->setFont(Fonts::system(kTextSize));
            explanation->setWordWrap(true);
            explanation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            rows->addWidget(example, at, 0, Qt::AlignTop);
            rows->addWidget(explanation, at, 1, Qt::AlignTop);
            examples_.push_back(example);
            explanations_.push_back(explanation);
            ++at;
        }
        sections->addWidget(card);
    }
    sections->addStretch(1);
    return list;
}

}  // namespace quorvanta::app
