// The search-syntax card: its sections and rows, its texts in another language with the examples
// unchanged, the example column and wrapping explanations, selecting and copying an example, the
// optional link, examples the parser reads, and its pictures.
// Before any Qt header: the model's signals have an emit member, which Qt's keyword macro rewrites.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/SearchSyntax/SearchSyntaxView.h"
#include "QuorvantaApp/SearchSyntax/SyntaxRows.h"
#include "QuorvantaCore/query/QueryParser.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/qt/SaveShot.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace quorvanta::app::test {
namespace {

using quorvanta::test::LanguageScope;

std::vector<std::string> textsOf(const std::vector<QLabel*>& labels) {
    std::vector<std::string> texts;
    for (const QLabel* label : labels) texts.push_back(label->text().toStdString());
    return texts;
}

// Every text of the card that is translated: title, sentence, headings, explanations.
std::vector<std::string> translatedTexts(const SearchSyntaxView& view) {
    std::vector<std::string> texts{view.title()->text().toStdString(), view.sentence()->text().toStdString()};
    for (const auto& list : {textsOf(view.headings()), textsOf(view.explanations())})
        texts.insert(texts.end(), list.begin(), list.end());
    return texts;
}

TEST(SyntaxHelp, ThreeSectionsOfSevenSevenAndSixRows) {
    LanguageScope english("en");
    SearchSyntaxView view;
    EXPECT_EQ(textsOf(view.headings()), (std::vector<std::string>{"Basics", "Filters", "Audio"}));
    const auto sections = syntaxSections();
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].rows.size(), 7u);
    EXPECT_EQ(sections[1].rows.size(), 7u);
    EXPECT_EQ(sections[2].rows.size(), 6u);
    ASSERT_EQ(view.examples().size(), 20u);
    ASSERT_EQ(view.explanations().size(), 20u);
    const auto examples = textsOf(view.examples());
    EXPECT_EQ(examples[3], "\"a b\"");
    EXPECT_EQ(examples[13], "content:\"invoice 2024\"");
    EXPECT_EQ(examples[19], "artist:name  album:name");
    EXPECT_EQ(view.explanations()[0]->text().toStdString(), "Both words must match (AND).");
    EXPECT_EQ(view.title()->text().toStdString(), "Search Syntax");
    EXPECT_EQ(view.sentence()->text().toStdString(), "Combine as many as you like, for example ext:mp3 size:>5mb !live");
}

TEST(SyntaxHelp, InGermanEveryTextChangesAndTheExamplesStay) {
    std::vector<std::string> english, german, englishExamples, germanExamples;
    {
        LanguageScope language("en");
        SearchSyntaxView view;
        english = translatedTexts(view);
        englishExamples = textsOf(view.examples());
    }
    {
        LanguageScope language("de");
        SearchSyntaxView view({"https://example.org/syntax", {}});
        german = translatedTexts(view);
        germanExamples = textsOf(view.examples());
        EXPECT_NE(view.link()->text().toStdString().find("Suchsyntax im Web"), std::string::npos);
    }
    ASSERT_EQ(german.size(), english.size());
    // The headings (third to fifth): "Audio" is German too.
    EXPECT_EQ(std::vector<std::string>(german.begin() + 2, german.begin() + 5),
              (std::vector<std::string>{"Grundlagen", "Filter", "Audio"}));
    for (std::size_t i = 0; i < english.size(); ++i) {
        if (english[i] == "Audio") continue;
        EXPECT_NE(german[i], english[i]) << english[i];
    }
    EXPECT_EQ(germanExamples, englishExamples);
}

TEST(SyntaxHelp, ExamplesKeepTheirColumnAndLongExplanationsGrowTheirRows) {
    LanguageScope german("de");
    auto* view = new SearchSyntaxView;
    Host host(view, SearchSyntaxView::kWidth, SearchSyntaxView::kHeight);
    EXPECT_EQ(view->size(), QSize(SearchSyntaxView::kWidth, SearchSyntaxView::kHeight));
    for (const QLabel* example : view->examples()) EXPECT_EQ(example->width(), SearchSyntaxView::kExampleWidth);
    const int line = view->explanations()[0]->fontMetrics().lineSpacing();
    // "Both words must match" fits one line; the content search's explanation does not.
    EXPECT_LT(view->explanations()[0]->height(), 2 * line);
    const QLabel* content = view->explanations()[13];
    EXPECT_GE(content->height(), 2 * line) << content->text().toStdString();
    EXPECT_GE(content->heightForWidth(content->width()), content->height() - 1) << "the row is cut";
    EXPECT_GT(content->height(), view->examples()[13]->height());
}

TEST(SyntaxHelp, AnExampleCanBeSelectedAndCopied) {
    LanguageScope english("en");
    auto* view = new SearchSyntaxView;
    Host host(view, SearchSyntaxView::kWidth, SearchSyntaxView::kHeight);
    // The menus' Copy is an application-wide Ctrl+C.
    QAction menuCopy(&host.window);
    menuCopy.setShortcut(QKeySequence::Copy);
    menuCopy.setShortcutContext(Qt::ApplicationShortcut);
    host.window.addAction(&menuCopy);
    int menuCopies = 0;
    QObject::connect(&menuCopy, &QAction::triggered, [&] { ++menuCopies; });
    QApplication::setActiveWindow(&host.window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));

    QLabel* example = view->examples()[4];  // "*.pdf  re??rt"
    EXPECT_TRUE(example->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(example->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    example->setFocus();
    example->setSelection(0, 5);
    ASSERT_EQ(example->selectedText().toStdString(), "*.pdf");
    QApplication::clipboard()->clear();
    QTest::keyClick(example, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "*.pdf");
    EXPECT_EQ(menuCopies, 0);

    // Without a selection the key stays the menu's.
    example->setSelection(0, 0);
    QTest::keyClick(example, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(menuCopies, 1);
}

TEST(SyntaxHelp, TheLinkIsThereOnlyWithAPageAndOpensIt) {
    LanguageScope english("en");
    SearchSyntaxView without;
    EXPECT_EQ(without.link(), nullptr);

    std::vector<std::string> opened;
    SearchSyntaxView with({"https://example.org/syntax?a=1&b=2", [&](const std::string& url) { opened.push_back(url); }});
    ASSERT_NE(with.link(), nullptr);
    EXPECT_NE(with.link()->text().toStdString().find(">Search syntax on the web<"), std::string::npos);
    Q_EMIT with.link()->linkActivated(with.link()->text());
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/syntax?a=1&b=2"});
}

// The card's examples are queries of the language it describes: each one, and each form of an
// example that shows several (two spaces apart), parses without an error.
TEST(SyntaxHelp, EveryExampleAndEachOfItsFormsParses) {
    const auto now = std::chrono::system_clock::now();
    const auto calendar = core::Calendar::current();
    int forms = 0;
    for (const auto& section : syntaxSections()) {
        for (const auto& row : section.rows) {
            std::vector<std::string> texts{std::string(row.example)};
            std::string_view rest = row.example;
            for (auto at = rest.find("  "); at != std::string_view::npos; at = rest.find("  ")) {
                texts.emplace_back(rest.substr(0, at));
                rest = rest.substr(at + 2);
            }
            if (texts.size() > 1) texts.emplace_back(rest);
            for (const auto& text : texts) {
                EXPECT_NO_THROW(core::QueryParser::parse(text, now, calendar)) << text;
                ++forms;
            }
        }
    }
    EXPECT_EQ(forms, 20 + 8 * 2 + 4);  // every example, then eight examples of two forms and one of four
}

TEST(SyntaxHelp, Pictures) {
    const struct {
        const char* language;
        Appearance appearance;
        const char* name;
    } cases[] = {
        {"en", Appearance::light, "syntax-en"},
        {"de", Appearance::light, "syntax-de"},
        {"en", Appearance::dark, "syntax-dark"},
    };
    for (const auto& c : cases) {
        LanguageScope language(c.language);
        auto* view = new SearchSyntaxView({"https://example.org/syntax", {}});
        Host host(view, SearchSyntaxView::kWidth, SearchSyntaxView::kHeight, c.appearance);
        EXPECT_EQ(quorvanta::test::saveShot(host.window, c.name).filename(), std::string(c.name) + ".png");
    }
}

}  // namespace
}  // namespace quorvanta::app::test
