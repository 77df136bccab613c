// The category chips: the chip list built from the stored categories, and the row of chips over an
// application model fed by hand (preferences in a settings store in memory, the model's own
// search). A picture shows each default category's chip plain and selected.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/TopBar/CategoryChip.h"
#include "QuorvantaApp/TopBar/CategoryChipList.h"
#include "QuorvantaApp/Widgets/CapsuleButton.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/qt/SaveShot.h"

#include <QGridLayout>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using quorvanta::test::LanguageScope;
using test::Host;
using test::makeModel;
using test::ModelWorld;
using test::showChanges;

// "<id>:<label>:<symbol>" per chip, with a "*" before the selected one.
std::vector<std::string> describe(const std::vector<CategoryChipItem>& items) {
    std::vector<std::string> shown;
    for (const auto& item : items)
        shown.push_back((item.selected ? "*" : "") + item.category.id + ":" + item.label + ":" + item.category.symbol);
    return shown;
}

TEST(CategoryChipsList, AllThenStoredInOrderThenFolders) {
    LanguageScope english;
    const std::vector<Category> three{
        {"zz", "Zebra", "star", "*.z"}, {"audio", "Tunes", "music.note", "*.mp3"}, {"aa", "Alpha", "tag", ""}};
    const struct {
        const char* what;
        std::vector<Category> stored;
        std::string filter;
        std::vector<std::string> expected;
    } cases[] = {
        {"no categories", {}, "all", {"*all:All:square.grid.2x2", "folders:Folders:folder"}},
        {"stored order kept",
         three,
         "aa",
         {"all:All:square.grid.2x2", "zz:Zebra:star", "audio:Tunes:music.note", "*aa:Alpha:tag",
          "folders:Folders:folder"}},
        {"folders selected",
         three,
         "folders",
         {"all:All:square.grid.2x2", "zz:Zebra:star", "audio:Tunes:music.note", "aa:Alpha:tag",
          "*folders:Folders:folder"}},
        {"an id no chip has", {}, "gone", {"all:All:square.grid.2x2", "folders:Folders:folder"}},
        {"empty names show the default name",
         {{"images", "", "photo", "*.jpg"}, {"mine", "", "tag", "*.x"}},
         "images",
         {"all:All:square.grid.2x2", "*images:Images:photo", "mine:New:tag", "folders:Folders:folder"}},
    };
    for (const auto& c : cases) EXPECT_EQ(describe(categoryChipList(c.stored, c.filter)), c.expected) << c.what;
}

TEST(CategoryChipsList, DefaultNamesInTheInterfaceLanguage) {
    LanguageScope german("de");
    std::vector<std::string> labels;
    for (const auto& item : categoryChipList(Category::defaults(), "docs")) labels.push_back(item.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"Alle", "Audio", "Video", "Bilder", "Dokumente", "Archive", "Ordner"}));
}

std::vector<std::string> idsOf(const CategoryChipRow& row, std::string* selected = nullptr) {
    std::vector<std::string> ids;
    for (const CategoryChip* chip : row.chips()) {
        ids.push_back(chip->category().id);
        if (selected && chip->isSelected()) *selected += chip->category().id;
    }
    return ids;
}

TEST(CategoryChips, ClickTurnsBrowseAllOffBeforeTheSearchRuns) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Data", "/srv/data"}});
    model->setBrowseAll(true);
    world.settle(*model);
    auto* row = new CategoryChipRow(*model);
    Host host(row, 720, 60);

    // Each change, with the search generation it saw: the search raises it first thing.
    std::vector<std::string> log;
    const auto gen = [&] { return std::to_string(model->generation()); };
    const auto filterSeen =
        model->filter.observe([&](const Category& c) { log.push_back("filter " + c.id + " " + gen()); });
    const auto browseSeen = model->browseAll.observe(
        [&](bool on) { log.push_back(std::string("browseAll ") + (on ? "on " : "off ") + gen()); });
    const std::string g0 = std::to_string(model->generation());
    const std::string g1 = std::to_string(model->generation() + 1);
    const std::string g2 = std::to_string(model->generation() + 2);

    CategoryChip* audio = row->chips()[1];
    ASSERT_EQ(audio->category().id, "audio");
    audio->button()->click();
    log.push_back("after " + gen());
    EXPECT_EQ(log, (std::vector<std::string>{"filter audio " + g0, "browseAll off " + g0, "after " + g1}));
    EXPECT_EQ(model->filter->id, "audio");
    world.settle(*model);
    showChanges();
    std::string selected;
    idsOf(*row, &selected);
    EXPECT_EQ(selected, "audio");

    // The chip already selected runs the same steps and stays selected.
    log.clear();
    row->chips()[1]->button()->click();
    log.push_back("after " + gen());
    EXPECT_EQ(log, (std::vector<std::string>{"filter audio " + g1, "browseAll off " + g1, "after " + g2}));
    EXPECT_EQ(model->filter->id, "audio");
    world.settle(*model);
}

TEST(CategoryChips, RowFollowsTheCategoriesAndTheFilter) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Data", "/srv/data"}});
    auto* row = new CategoryChipRow(*model);
    Host host(row, 720, 60);
    std::string selected;
    EXPECT_EQ(idsOf(*row, &selected),
              (std::vector<std::string>{"all", "audio", "video", "images", "docs", "archives", "folders"}));
    EXPECT_EQ(selected, "all");
    for (const CategoryChip* chip : row->chips()) {
        EXPECT_EQ(chip->button()->glyph(), chip->category().symbol);
        EXPECT_EQ(chip->button()->text().toStdString(), chip->category().displayName());
        EXPECT_EQ(chip->size(), chip->button()->sizeHint()) << "kept at its ideal size";
    }

    world.prefs.setCategories({{"docs", "Papers", "doc.text", "*.pdf"}, {"mine", "Mine", "star", "*.x"}});
    model->setFilter(model->prefs().categories()[1]);
    world.settle(*model);
    showChanges();
    selected.clear();
    EXPECT_EQ(idsOf(*row, &selected), (std::vector<std::string>{"all", "docs", "mine", "folders"}));
    EXPECT_EQ(selected, "mine");
    EXPECT_EQ(row->chips()[1]->button()->text().toStdString(), "Papers");

    world.prefs.setCategories({});  // the filter's category leaves: back to "all"
    world.settle(*model);
    showChanges();
    selected.clear();
    EXPECT_EQ(idsOf(*row, &selected), (std::vector<std::string>{"all", "folders"}));
    EXPECT_EQ(selected, "all");
}

// Each chip of the default row plain (top) and selected (bottom).
void chipPicture(Appearance appearance, const char* name) {
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setHorizontalSpacing(CategoryChipRow::kSpacing);
    layout->setVerticalSpacing(10);
    const auto items = categoryChipList(Category::defaults(), "");
    for (int i = 0; i < static_cast<int>(items.size()); ++i)
        for (const bool selected : {false, true})
            layout->addWidget(new CategoryChip(items[i].category, selected, nullptr), selected ? 1 : 0, i);
    Host host(grid, grid->sizeHint().width(), grid->sizeHint().height(), appearance);
    quorvanta::test::saveShot(host.window, name);
}

TEST(CategoryChips, Pictures) {
    LanguageScope english;
    chipPicture(Appearance::light, "chips");
    chipPicture(Appearance::dark, "chips-dark");
}

}  // namespace
}  // namespace quorvanta::app
