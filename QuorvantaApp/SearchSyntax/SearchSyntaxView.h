// SearchSyntaxView: a small reference card of the query language, the content of the "Search
// Syntax" window. From the top: the title, one sentence, the sections of SyntaxRows.h in a
// scrolling list (each row an example beside its explanation), and a link to the syntax page on
// the web when one is configured.
//
// A fixed 620 × 560 card, 20 of padding and 10 between its parts. An example sits in a column
// 220 wide in a fixed-width font and can be selected with the mouse or the keyboard and copied
// with Ctrl+C (the label takes the key before the menus' Copy does); its explanation wraps beside
// it, so a long one makes its row taller, never cut. Every text is looked up when the card is
// built; the window's language root builds it anew on a language change.
//
// Threads: main thread.
#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QLabel;

namespace quorvanta::app {

class SearchSyntaxView final : public QWidget {
public:
    static constexpr int kWidth = 620;
    static constexpr int kHeight = 560;
    static constexpr int kExampleWidth = 220;

    struct Setup {
        // The syntax page on the web; empty: no link.
        std::string webPage;
        // Opens the page when the link is clicked.
        std::function<void(const std::string& url)> open;
    };

    explicit SearchSyntaxView(Setup setup = {}, QWidget* parent = nullptr);

    // What a test reads: the title, the sentence, the section headings, the examples and the
    // explanations in their order, and the link (null without a page).
    QLabel* title() const { return title_; }
    QLabel* sentence() const { return sentence_; }
    const std::vector<QLabel*>& headings() const { return headings_; }
    const std::vector<QLabel*>& examples() const { return examples_; }
    const std::vector<QLabel*>& explanations() const { return explanations_; }
    QLabel* link() const { return link_; }

private:
    QWidget* buildSections();

    QLabel* title_ = nullptr;
    QLabel* sentence_ = nullptr;
    std::vector<QLabel*> headings_;
    std::vector<QLabel*> examples_;
    std::vector<QLabel*> explanations_;
    QLabel* link_ = nullptr;
};

}  // namespace quorvanta::app
