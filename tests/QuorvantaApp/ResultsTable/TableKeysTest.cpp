// The results table driven from the keyboard: each key reaches its action (open one file per row
// in row order, reveal, preview, Trash, rename, copy), arrows still move the selection, a key
// without its handler is taken and does nothing (not even the view's own copy), rows of a
// disconnected drive are refused with the alert, copying gives one line per file, dragging
// carries the exact path bytes, and type-to-select stays within its bound over a million rows.
#include "tests/QuorvantaApp/ResultsTable/ActionFixtures.h"

#include "QuorvantaCore/lang/Tr.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using test::ActionTable;

std::string clipboardText() { return QGuiApplication::clipboard()->text().toStdString(); }

// What the table did after a key, as one line: what was opened, revealed, previewed, copied,
// renamed and trashed.
struct Done {
    ActionTable& t;
    int renames = 0;
    int trashes = 0;

    explicit Done(ActionTable& table) : t(table) {
        t.coordinator().renameSelected = [this] { ++renames; };
        t.coordinator().trashSelected = [this] { ++trashes; };
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    std::string operator()() const {
        std::string line;
        for (const auto& url : t.desktop.opened) line += "open " + url + ";";
        for (const auto& paths : t.desktop.revealed)
            for (const auto& path : paths) line += "reveal " + path + ";";
        if (t.preview.isOpen()) line += "preview " + std::to_string(t.preview.count()) + ";";
        if (clipboardText() != "before") line += "copy " + clipboardText() + ";";
        if (renames) line += "rename;";
        if (trashes) line += "trash;";
        return line;
    }
};

TEST(TableKeys, EachKeyReachesItsActionOverTheSelectedRowsInRowOrder) {
    struct Case {
        const char* what;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* expected;  // $a and $d stand for the paths of rows 0 and 2
    };
    const std::vector<Case> cases{
        {"Return opens", Qt::Key_Return, Qt::NoModifier, "open file://$a;open file://$d;"},
        {"keypad Enter opens", Qt::Key_Enter, Qt::KeypadModifier, "open file://$a;open file://$d;"},
        {"Ctrl+Return reveals", Qt::Key_Return, Qt::ControlModifier, "reveal $a;reveal $d;"},
        {"Ctrl+keypad Enter reveals", Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier,
         "reveal $a;reveal $d;"},
        {"Space previews", Qt::Key_Space, Qt::NoModifier, "preview 2;"},
        {"Backspace trashes", Qt::Key_Backspace, Qt::NoModifier, "trash;"},
        {"Ctrl+Backspace trashes", Qt::Key_Backspace, Qt::ControlModifier, "trash;"},
        {"Delete trashes", Qt::Key_Delete, Qt::NoModifier, "trash;"},
        {"Shift+Delete trashes", Qt::Key_Delete, Qt::ShiftModifier, "trash;"},
        {"F2 renames", Qt::Key_F2, Qt::NoModifier, "rename;"},
        {"Ctrl+C copies", Qt::Key_C, Qt::ControlModifier, "copy $a\n$d;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ActionTable t;
        Done done(t);
        t.select({2, 0});
        EXPECT_TRUE(t.press(c.key, c.modifiers));
        std::string expected = c.expected;
        const auto put = [&](const std::string& mark, const std::string& path, bool encoded) {
            for (auto at = expected.find(mark); at != std::string::npos; at = expected.find(mark))
                expected.replace(at, mark.size(), encoded ? fileURI(path).substr(7) : path);
        };
        const bool opens = std::string(c.expected).starts_with("open");
        put("$a", t.path(0), opens);
        put("$d", t.path(2), opens);
        EXPECT_EQ(done(), expected);
    }
}

TEST(TableKeys, ADoubleClickOpensAndTheEditMenusCopyCopiesThePaths) {
    ActionTable t;
    Done done(t);
    t.select({1});
    const QRect cell = t.view().visualRect(t.coordinator().rows().index(1, 0));
    QTest::mouseDClick(t.view().viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(t.desktop.opened, std::vector<std::string>{fileURI(t.path(1))});
    EXPECT_EQ(t.coordinator().selectedURLs(), t.desktop.opened);

    // The Edit menu calls the focus widget's copy slot.
    ASSERT_TRUE(QMetaObject::invokeMethod(&t.view(), "copy", Qt::DirectConnection));
    EXPECT_EQ(clipboardText(), t.path(1));
}

TEST(TableKeys, UpAndDownStillMoveTheSelection) {
    ActionTable t;
    t.view().setFocus();
    t.view().selectionModel()->setCurrentIndex(t.coordinator().rows().index(1, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    t.press(Qt::Key_Down);
    EXPECT_EQ(t.coordinator().actedOnRows(), (ResultsCoordinator::RowRanges{{2, 2}}));
    t.press(Qt::Key_Up);
    t.press(Qt::Key_Up);
    EXPECT_EQ(t.coordinator().actedOnRows(), (ResultsCoordinator::RowRanges{{0, 0}}));
}

TEST(TableKeys, AKeyWhoseHandlerIsUnsetIsTakenAndDoesNothing) {
    ActionTable t;
    Done done(t);
    t.coordinator().renameSelected = nullptr;
    t.view().onCopy = nullptr;
    t.view().onSpace = nullptr;
    t.view().selectionModel()->setCurrentIndex(t.coordinator().rows().index(0, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (const auto& [key, modifiers] : std::vector<std::pair<int, Qt::KeyboardModifiers>>{
             {Qt::Key_F2, Qt::NoModifier}, {Qt::Key_C, Qt::ControlModifier}, {Qt::Key_Insert, Qt::ControlModifier},
             {Qt::Key_Space, Qt::NoModifier}}) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(t.press(key, modifiers)) << "not taken";
    }
    // The view's own handling would have copied the current cell.
    EXPECT_EQ(done(), "");
    EXPECT_EQ(t.coordinator().actedOnRows(), (ResultsCoordinator::RowRanges{{0, 0}}));
}

TEST(TableKeys, RowsOfADisconnectedDriveAreRefusedWithTheAlert) {
    for (const auto& [key, modifiers] : std::vector<std::pair<int, Qt::KeyboardModifiers>>{
             {Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Return, Qt::ControlModifier}, {Qt::Key_Space, Qt::NoModifier}}) {
        SCOPED_TRACE(key + modifiers.toInt());
        ActionTable t;
        Done done(t);
        t.select({0, t.offlineRow()});
        EXPECT_EQ(t.coordinator().offlineSelection(), t.catalog);
        t.dialogs.answers.push_back(0);
        t.press(key, modifiers);
        ASSERT_EQ(t.dialogs.shown.size(), 1u);
        EXPECT_EQ(t.dialogs.shown[0].message, "“Old” is not connected");
        EXPECT_EQ(t.dialogs.shown[0].informative,
                  "The file is on a drive that is not connected right now. The catalog stays searchable; opening "
                  "and showing work again as soon as the drive is back.");
        EXPECT_EQ(t.dialogs.shown[0].titles(), std::vector<std::string>{core::tr("OK")});
        EXPECT_EQ(done(), "") << "something reached the desktop or the preview";
    }
}

TEST(TableKeys, CopyingGivesOneLinePerFileWithoutAFinalLineFeed) {
    ActionTable t({"a.txt", "b\xff.txt", "c.txt"});
    t.select({0, 1, 2});
    t.press(Qt::Key_C, Qt::ControlModifier);
    // The name that is not UTF-8 is repaired for the text.
    const std::string folder = t.dir.path().string();
    EXPECT_EQ(clipboardText(), folder + "/a.txt\n" + folder + "/b\xEF\xBF\xBD.txt\n" + folder + "/c.txt");

    t.select({2, t.offlineRow()});
    t.press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboardText(), folder + "/c.txt\n/media/me/Old/gone.mp3") << "offline rows are copied too";

    t.view().clearSelection();
    t.press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboardText(), "");
}

TEST(TableKeysDrag, TheDragDataDecodesToTheExactPathBytesAndOfflineRowsHaveNoDrag) {
    ActionTable t({"plain.txt", "b\xff name.txt"});
    const ResultsModel& rows = t.coordinator().rows();
    EXPECT_EQ(rows.supportedDragActions(), Qt::CopyAction);
    t.select({0, 1});
    const std::unique_ptr<QMimeData> data(t.view().dragData());
    ASSERT_TRUE(data);
    std::vector<std::string> dragged;
    for (const QByteArray& line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        const QByteArray uri = line.trimmed();
        if (uri.isEmpty()) continue;
        ASSERT_TRUE(uri.startsWith("file://")) << uri.toStdString();
        dragged.push_back(QByteArray::fromPercentEncoding(uri.mid(7)).toStdString());
    }
    EXPECT_EQ(dragged, (std::vector<std::string>{t.path(0), t.path(1)}));

    EXPECT_TRUE(rows.flags(rows.index(0, 0)).testFlag(Qt::ItemIsDragEnabled));
    EXPECT_FALSE(rows.flags(rows.index(t.offlineRow(), 0)).testFlag(Qt::ItemIsDragEnabled));
    EXPECT_FALSE(rows.flags(rows.index(t.offlineRow() + 1, 0)).testFlag(Qt::ItemIsDragEnabled));
    t.select({t.offlineRow()});
    EXPECT_EQ(t.view().dragData(), nullptr) << "an offline row alone gives nothing to drag";
    t.select({0, t.offlineRow()});
    const std::unique_ptr<QMimeData> online(t.view().dragData());
    ASSERT_TRUE(online);
    EXPECT_EQ(online->urls().size(), 1);
}

TEST(TableKeys, TypeToSelectFindsTheNextNameAndStaysWithinItsBound) {
    ActionTable t({"apple.txt", "banana.txt", "cherry.txt", "citrus.txt"});
    t.view().selectionModel()->setCurrentIndex(t.coordinator().rows().index(0, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    t.view().keyboardSearch(QStringLiteral("C"));
    EXPECT_EQ(t.coordinator().actedOnRows(), (ResultsCoordinator::RowRanges{{2, 2}}));
    t.view().keyboardSearch(QStringLiteral("i"));
    EXPECT_EQ(t.coordinator().actedOnRows(), (ResultsCoordinator::RowRanges{{3, 3}})) << "\"ci\" from the current row";

    // A million rows (the same files again and again) and a text no name starts with.
    std::vector<RowKey> many;
    many.reserve(1'000'000);
    for (std::size_t i = 0; many.size() < 1'000'000; ++i)
        many.push_back(rowKey(0, test::entryNamed(*t.disk->index(), t.names[i % t.names.size()])));
    t.show(std::move(many));
    const auto before = t.coordinator().namesComparedForTesting();
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    t.view().keyboardSearch(QStringLiteral("zzz"));
    EXPECT_LE(t.coordinator().namesComparedForTesting() - before,
              static_cast<std::uint64_t>(ResultsCoordinator::kTypeSelectRows));
    EXPECT_GT(t.coordinator().namesComparedForTesting() - before, 0u);
}

}  // namespace
}  // namespace quorvanta::app
