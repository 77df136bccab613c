// The preview window over the table's selection: Space toggles it, Up and Down in it move the
// table's selection and the preview follows, Left and Right step through several files; images
// (turned by their EXIF orientation), text, the first page of a PDF and the card of anything
// else; an offline row never reaches it; and a selection of a million rows makes only the file
// shown. Pictures of each kind are written for looking at by eye.
#include "tests/QuorvantaApp/ResultsTable/ActionFixtures.h"

#include "QuorvantaApp/ResultsTable/MetaRequests.h"
#include "tests/audio/ToolFiles.h"
#include "tests/support/qt/SaveShot.h"

#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using test::ActionTable;

void selectOnly(ActionTable& t, int row) {
    t.view().selectionModel()->setCurrentIndex(t.coordinator().rows().index(row, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::string shownName(const PreviewPanel& preview) { return preview.file() ? preview.file()->name : ""; }

TEST(Preview, SpaceTogglesAndTheArrowsInItMoveThroughTheResults) {
    ActionTable t;
    selectOnly(t, 0);
    t.press(Qt::Key_Space);
    ASSERT_TRUE(t.preview.isOpen());
    EXPECT_EQ(shownName(t.preview), "a.txt");
    EXPECT_EQ(t.preview.counterText(), "") << "one file shows no counter";

    // Up and Down in the preview go to the table, and the preview follows its selection.
    t.press(Qt::Key_Down, Qt::NoModifier, &t.preview);
    EXPECT_EQ(t.coordinator().actedOnRows(), (ResultsCoordinator::RowRanges{{1, 1}}));
    EXPECT_EQ(shownName(t.preview), "b.txt");
    t.press(Qt::Key_Down, Qt::NoModifier, &t.preview);
    t.press(Qt::Key_Up, Qt::NoModifier, &t.preview);
    EXPECT_EQ(shownName(t.preview), "b.txt");

    // A selection with an offline row leaves the preview as it was.
    t.select({0, t.offlineRow()});
    EXPECT_EQ(shownName(t.preview), "b.txt");

    // Space with the preview open closes it.
    t.select({0});
    t.press(Qt::Key_Space);
    EXPECT_FALSE(t.preview.isOpen());
    t.select({1});
    EXPECT_FALSE(t.preview.isOpen()) << "a selection change opened the preview";
}

TEST(Preview, SeveralFilesAreCountedAndSteppedWithLeftAndRight) {
    ActionTable t;
    t.select({0, 1, 3});
    t.press(Qt::Key_Space);
    ASSERT_TRUE(t.preview.isOpen());
    EXPECT_EQ(t.preview.counterText(), "1 of 3");
    t.press(Qt::Key_Right, Qt::NoModifier, &t.preview);
    t.press(Qt::Key_Right, Qt::NoModifier, &t.preview);
    EXPECT_EQ(shownName(t.preview), "c.txt");
    EXPECT_EQ(t.preview.counterText(), "3 of 3");
    t.press(Qt::Key_Right, Qt::NoModifier, &t.preview);
    EXPECT_EQ(t.preview.place(), 2u) << "stepped past the end";
    t.press(Qt::Key_Left, Qt::NoModifier, &t.preview);
    EXPECT_EQ(shownName(t.preview), "b.txt");
}

TEST(Preview, ASelectionOfAMillionRowsMakesOnlyTheFileShown) {
    ActionTable t;
    std::vector<RowKey> many;
    many.reserve(1'000'000);
    for (std::size_t i = 0; many.size() < 1'000'000; ++i)
        many.push_back(rowKey(0, test::entryNamed(*t.disk->index(), t.names[i % t.names.size()])));
    t.show(std::move(many));
    t.view().selectAll();
    t.press(Qt::Key_Space);
    ASSERT_TRUE(t.preview.isOpen());
    EXPECT_EQ(t.preview.count(), 1'000'000u);
    EXPECT_LE(t.preview.filesMadeForTesting(), 2u);
    t.press(Qt::Key_Right, Qt::NoModifier, &t.preview);
    EXPECT_EQ(shownName(t.preview), "b.txt");
    EXPECT_LE(t.preview.filesMadeForTesting(), 3u);
}

// The four kinds, each looked at in a picture.
TEST(Preview, ImagesTextPdfAndCards) {
    const std::vector<std::string> names{"photo.jpg", "notes.txt", "paper.pdf", "tone.mp3", "blob.bin"};
    ActionTable t(names, [](const quorvanta::test::TempDir& dir) {
        // A wide picture whose EXIF orientation turns it upright.
        QImage wide(160, 80, QImage::Format_RGB32);
        wide.fill(QColor(40, 110, 200));
        QPainter paint(&wide);
        paint.fillRect(0, 0, 40, 80, QColor(230, 80, 40));
        paint.end();
        QImageWriter writer(QString::fromStdString((dir / "photo.jpg").string()));
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        ASSERT_TRUE(writer.write(wide)) << writer.errorString().toStdString();

        dir.write("notes.txt", "First line of the notes\nSecond line: ünïcödé\n");
        dir.write("blob.bin", std::string("\x00\x01\x02binary\xff", 10));

        QPdfWriter pdf(QString::fromStdString((dir / "paper.pdf").string()));
        QPainter page(&pdf);
        page.setFont(QFont(QStringLiteral("Sans"), 28));
        page.drawText(QRect(0, 0, pdf.width(), pdf.height() / 3), Qt::AlignCenter, QStringLiteral("First page"));
        page.end();

        if (!audio::test::run(audio::test::ffmpegSine(2) + "-c:a libmp3lame -b:a 64k " +
                              audio::test::quoted(dir / "tone.mp3")))
            dir.write("tone.mp3", "not really audio");
    });

    struct Case {
        int row;
        PreviewPanel::Shows shows;
        const char* shot;
    };
    for (const Case& c : std::vector<Case>{{0, PreviewPanel::Shows::image, "preview-image"},
                                           {1, PreviewPanel::Shows::text, "preview-text"},
                                           {2, PreviewPanel::Shows::pdf, "preview-pdf"},
                                           {4, PreviewPanel::Shows::card, "preview-binary-card"}}) {
        SCOPED_TRACE(c.shot);
        selectOnly(t, c.row);
        t.press(Qt::Key_Space);
        ASSERT_TRUE(t.preview.isOpen());
        EXPECT_EQ(t.preview.shows(), c.shows);
        test::showChanges();
        quorvanta::test::saveShot(t.preview, c.shot);
        t.press(Qt::Key_Space);
    }

    selectOnly(t, 0);
    t.press(Qt::Key_Space);
    EXPECT_EQ(t.preview.picture().size(), QSize(80, 160)) << "the EXIF orientation was not applied";
    t.press(Qt::Key_Space);

    // The audio file's card, second of three, with the facts the table read of it.
    t.select({2, 3, 4});
    t.press(Qt::Key_Space);
    t.press(Qt::Key_Right, Qt::NoModifier, &t.preview);
    MetaRequests::waitForLoadsForTesting();
    test::showChanges();
    t.press(Qt::Key_Left, Qt::NoModifier, &t.preview);
    t.press(Qt::Key_Right, Qt::NoModifier, &t.preview);  // made again, with the facts now read
    EXPECT_EQ(t.preview.shows(), PreviewPanel::Shows::card);
    EXPECT_EQ(t.preview.counterText(), "2 of 3");
    const std::string facts = t.preview.cardFacts().toStdString();
    EXPECT_NE(facts.find("Kind: "), std::string::npos) << facts;
    EXPECT_NE(facts.find("Size: "), std::string::npos) << facts;
    EXPECT_NE(facts.find("Modified: "), std::string::npos) << facts;
    test::showChanges();
    quorvanta::test::saveShot(t.preview, "preview-audio-card");
}

}  // namespace
}  // namespace quorvanta::app
