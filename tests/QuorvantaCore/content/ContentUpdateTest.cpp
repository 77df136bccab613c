#include "QuorvantaCore/content/ContentIndex.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/QuorvantaCore/content/ContentIndexTestSupport.h"
#include "tests/QuorvantaCore/index/IndexTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::core {

void PrintTo(const ContentIndex::Stats& s, std::ostream* os) {
    *os << "{indexed " << s.indexed << ", skipped " << s.skipped << ", removed " << s.removed << ", unchanged "
        << s.unchanged << (s.full ? ", full}" : "}");
}

namespace {

namespace fs = std::filesystem;
using Stats = ContentIndex::Stats;

std::set<std::string> sorted(const std::unordered_set<std::string>& paths) { return {paths.begin(), paths.end()}; }

std::uint32_t entryOf(const VolumeIndex& index, const std::string& path) {
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (index.path(i) == path) return i;
    ADD_FAILURE() << "no entry " << path;
    return 0;
}

class ContentUpdate : public ::testing::Test {
protected:
    quorvanta::test::TempDir dir;
    // A root whose name is not UTF-8: prefixes are compared as bytes.
    const fs::path root = dir / "vol\xff caf\xc3\xa9";
    const std::string docs = (root / "docs").string();
    std::unique_ptr<ContentIndex> content;

    void SetUp() override {
        fs::create_directories(root);
        ContentIndex::Limits limits;
        limits.textFileBytes = 64;
        open(limits);
    }
    void open(const ContentIndex::Limits& limits, const std::string& file = "content.sqlite") {
        content = std::make_unique<ContentIndex>((dir / file).string(), limits);
    }

    std::string write(const std::string& relative, const std::string& bytes) {
        const fs::path path = root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    // Rewrites a file with a modification time a minute later, so that the change shows
    // whatever the size.
    void rewrite(const std::string& relative, const std::string& bytes) {
        const fs::path path = root / relative;
        const auto before = fs::last_write_time(path);
        write(relative, bytes);
        fs::last_write_time(path, before + std::chrono::minutes(1));
    }

    std::shared_ptr<VolumeIndex> scan() const { return VolumeIndex::scanned({root.string()}, 1); }
    Stats update(const std::vector<std::string>& folders, const std::function<bool()>& cancelled = {}) {
        return content->update(*scan(), root.string(), folders, cancelled);
    }
    std::set<std::string> found(const std::string& text) const { return sorted(content->search(text, 1000)); }
    // id of the document of a path; 0 when there is none.
    std::int64_t idOf(const std::string& path) const {
        for (const auto& [id, p] : test::docPaths(*content))
            if (p == path) return id;
        return 0;
    }
    // Every text row belongs to a document, and every document has its one text row.
    void expectOneTextPerDocument() const {
        const auto paths = test::docPaths(*content);
        const auto texts = test::ftsTexts(*content);
        std::set<std::int64_t> docIds, textIds;
        for (const auto& [id, path] : paths) docIds.insert(id);
        for (const auto& [id, text] : texts) textIds.insert(id);
        EXPECT_EQ(docIds, textIds);
    }
};

TEST_F(ContentUpdate, FirstUpdateCountsThenEverythingIsUnchanged) {
    const std::string a = write("docs/a.txt", "alpha words here");
    write("docs/b.md", "beta");
    write("docs/zero.txt", std::string("zero\0byte", 9));
    write("docs/bad.txt", "caf\xe9 latin-1");
    write("docs/empty.txt", "");
    write("docs/exact.log", std::string(64, 'e'));
    write("docs/over.log", std::string(65, 'o'));
    write("docs/image.png", "alpha words here");
    const std::string hidden = write("docs/.hidden.txt", "hidden words");
    const std::string capital = write("docs/sub/c.TXT", "capital letters");
    const std::string odd = write("docs/odd \xfe name.txt", "odd name words");
    write("outside/x.txt", "outside words");
    write("docs-sibling/y.txt", "sibling words");

    EXPECT_EQ(update({docs}), (Stats{7, 3, 0, 0, false}));
    EXPECT_EQ(content->count(), 10);
    EXPECT_EQ(found("alpha words"), std::set<std::string>{a});
    EXPECT_EQ(found("hidden words"), std::set<std::string>{hidden});
    EXPECT_EQ(found("capital letters"), std::set<std::string>{capital});
    EXPECT_EQ(found("odd name words"), std::set<std::string>{odd});
    EXPECT_EQ(found("outside words"), std::set<std::string>{});
    EXPECT_EQ(found("sibling words"), std::set<std::string>{});
    EXPECT_EQ(found(std::string(64, 'e')), std::set<std::string>{docs + "/exact.log"});
    expectOneTextPerDocument();

    // Unreadable and binary files are recorded too, so nothing is read again.
    EXPECT_EQ(update({docs}), (Stats{0, 0, 0, 10, false}));
    EXPECT_EQ(update({docs + "/"}), (Stats{0, 0, 0, 10, false}));
    EXPECT_EQ(content->count(), 10);
}

TEST_F(ContentUpdate, ChangedFileKeepsItsIdAndRenameReplacesTheDocument) {
    const std::string a = write("docs/a.txt", "old words");
    const std::string b = write("docs/b.txt", "moving words");
    ASSERT_EQ(update({docs}), (Stats{2, 0, 0, 0, false}));
    const std::int64_t id = idOf(a);
    ASSERT_NE(id, 0);

    rewrite("docs/a.txt", "new words");
    EXPECT_EQ(update({docs}), (Stats{1, 0, 0, 1, false}));
    EXPECT_EQ(idOf(a), id);
    EXPECT_EQ(found("old words"), std::set<std::string>{});
    EXPECT_EQ(found("new words"), std::set<std::string>{a});

    // A file that gives no text any more keeps its id and loses its words.
    rewrite("docs/a.txt", std::string("binary\0", 7));
    EXPECT_EQ(update({docs}), (Stats{0, 1, 0, 1, false}));
    EXPECT_EQ(idOf(a), id);
    EXPECT_EQ(found("new words"), std::set<std::string>{});

    fs::rename(b, docs + "/c.txt");
    EXPECT_EQ(update({docs}), (Stats{1, 0, 1, 1, false}));
    EXPECT_EQ(idOf(b), 0);
    EXPECT_EQ(found("moving words"), std::set<std::string>{docs + "/c.txt"});
    EXPECT_EQ(content->count(), 2);
    expectOneTextPerDocument();
}

TEST_F(ContentUpdate, FolderPrefixesAndNoFolders) {
    const std::string inB = write("a/b/x.txt", "in b");
    write("a/bc/x.txt", "in bc");
    write("a/b.txt", "beside b");
    EXPECT_EQ(update({(root / "a/b").string()}), (Stats{1, 0, 0, 0, false}));
    EXPECT_EQ(test::docPaths(*content).size(), 1u);
    EXPECT_EQ(idOf(inB), 1);
    // Widening the folders adds; no folders removes everything under the root.
    EXPECT_EQ(update({(root / "a").string(), (root / "a/b").string()}), (Stats{2, 0, 0, 1, false}));
    EXPECT_EQ(update({}), (Stats{0, 0, 3, 0, false}));
    EXPECT_EQ(content->count(), 0);
    EXPECT_EQ(found("in b"), std::set<std::string>{});
}

TEST_F(ContentUpdate, FoldersAreComparedByWholeComponents) {
    const std::string inB = write("a/b/x.txt", "in b");
    write("a/bc/x.txt", "in bc");
    // Repeated and trailing "/" name the same folder.
    EXPECT_EQ(update({root.string() + "/a//b//"}), (Stats{1, 0, 0, 0, false}));
    EXPECT_EQ(found("in b"), std::set<std::string>{inB});
    // The empty text names no folder: the document goes as with no folders at all.
    EXPECT_EQ(update({""}), (Stats{0, 0, 1, 0, false}));
    EXPECT_EQ(content->count(), 0);
}

TEST_F(ContentUpdate, DocumentsOutsideTheRootAreLeftAlone) {
    test::addDocuments(*content, {{root.string() + "-other/z.txt", "other volume"}, {"/elsewhere.txt", "far away"}});
    write("docs/a.txt", "alpha");
    EXPECT_EQ(update({}), (Stats{0, 0, 0, 0, false}));
    EXPECT_EQ(content->count(), 2);
    EXPECT_EQ(update({docs}), (Stats{1, 0, 0, 0, false}));
    EXPECT_EQ(update({}), (Stats{0, 0, 1, 0, false}));
    EXPECT_EQ(content->count(), 2);
}

TEST_F(ContentUpdate, CancellingRemovesNothingAndKeepsWhatWasRead) {
    write("docs/a.txt", "alpha");
    const std::string b = write("docs/b.txt", "beta");
    ASSERT_EQ(update({docs}), (Stats{2, 0, 0, 0, false}));
    fs::remove(b);
    int asked = 0;
    EXPECT_EQ(update({docs}, [&] { return ++asked > 0; }), (Stats{}));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(content->count(), 2);

    // Cancelled at the second check (entry 16384): what was read before it is written, the
    // entries past it are not visited, and nothing is removed.
    const std::string early = write("docs/early.txt", "early words");
    const auto index = scan();
    const std::uint32_t folder = entryOf(*index, docs);
    std::vector<test::Record> padding(16385 - index->count(), test::Record{"pad.bin"});
    test::commitRecords(*index, folder, padding);
    write("docs/after.txt", "after words");
    test::commitRecords(*index, folder, {test::Record{"after.txt", 11}});
    asked = 0;
    EXPECT_EQ(content->update(*index, root.string(), {docs}, [&] { return ++asked == 2; }), (Stats{1, 0, 0, 1, false}));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(found("early words"), std::set<std::string>{early});
    EXPECT_EQ(found("after words"), std::set<std::string>{});
    EXPECT_EQ(content->count(), 3);  // b.txt's document stays
}

TEST_F(ContentUpdate, TinyTotalBytesSetsFull) {
    // A budget one byte above the empty database: the first batch passes it.
    ContentIndex::Limits limits;
    limits.totalBytes = content->bytes() + 1;
    open(limits);
    for (int i = 0; i < 150; ++i) write("docs/f" + std::to_string(i) + ".txt", "file number " + std::to_string(i));
    const Stats first = update({docs});
    EXPECT_TRUE(first.full);
    EXPECT_EQ(first.indexed, 100);  // the first batch; nothing is recorded after it
    EXPECT_EQ(content->count(), 100);
    // An index already past its budget takes no further batch.
    EXPECT_EQ(update({docs}), (Stats{0, 0, 0, 100, true}));
    EXPECT_EQ(content->count(), 100);

    // A changed file keeps its old document while the index is full.
    const auto paths = test::docPaths(*content);
    ASSERT_FALSE(paths.empty());
    const auto [id, changed] = *paths.begin();
    const std::string oldText = test::ftsTexts(*content).at(id);
    ASSERT_EQ(found(oldText), std::set<std::string>{changed});
    rewrite(fs::path(changed).lexically_relative(root).string(), "rewritten");
    EXPECT_EQ(update({docs}), (Stats{0, 0, 0, 99, true}));
    EXPECT_EQ(found(oldText), std::set<std::string>{changed});

    // With room again, the rest comes in.
    open(ContentIndex::Limits{});
    EXPECT_EQ(update({docs}), (Stats{51, 0, 0, 99, false}));
    EXPECT_EQ(found("rewritten"), std::set<std::string>{changed});
    EXPECT_EQ(found(oldText), std::set<std::string>{});
}

TEST_F(ContentUpdate, NestedRootKeepsItsDocuments) {
    const fs::path inner = root / "inner";
    const std::string innerFile = write("inner/i.txt", "inner words");
    const std::string outerFile = write("o.txt", "outer words");
    const auto innerIndex = VolumeIndex::scanned({inner.string()}, 1);
    ASSERT_EQ(content->update(*innerIndex, inner.string(), {inner.string()}), (Stats{1, 0, 0, 0, false}));

    // The outer volume's index does not enter the inner root (another device in real life).
    const auto outerIndex = VolumeIndex::create(1u << 16, 1u << 22, {inner.string()});
    outerIndex->scan({root.string()}, 1, 0);
    for (int round = 0; round < 2; ++round) {
        const Stats stats = content->update(*outerIndex, root.string(), {root.string()}, {}, {inner.string()});
        EXPECT_EQ(stats, round == 0 ? (Stats{1, 0, 0, 0, false}) : (Stats{0, 0, 0, 1, false}));
        EXPECT_EQ(found("inner words"), std::set<std::string>{innerFile});
        EXPECT_EQ(found("outer words"), std::set<std::string>{outerFile});
    }
    // An inner root given with its "/" and files of the outer index below it are left out too.
    const auto whole = scan();
    EXPECT_EQ(content->update(*whole, root.string(), {root.string()}, {}, {inner.string() + "/"}),
              (Stats{0, 0, 0, 1, false}));
    EXPECT_EQ(content->update(*innerIndex, inner.string(), {inner.string()}), (Stats{0, 0, 0, 1, false}));
}

TEST_F(ContentUpdate, TwoLiveEntriesWithOnePathMakeOneDocument) {
    const std::string dup = write("docs/dup.txt", "dup words");
    const std::string other = write("docs/other.txt", "other words");
    const auto index = scan();
    const std::uint32_t folder = entryOf(*index, docs);
    const std::uint32_t scanned = entryOf(*index, dup);
    const test::Record again{"dup.txt", index->size(scanned), index->mtime(scanned)};
    test::commitRecords(*index, folder, {again});
    test::commitRecords(*index, folder, {again});
    EXPECT_EQ(content->update(*index, root.string(), {docs}), (Stats{2, 0, 0, 0, false}));
    EXPECT_EQ(content->count(), 2);
    const auto texts = test::ftsTexts(*content);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts.at(idOf(dup)), "dup words");
    EXPECT_EQ(texts.at(idOf(other)), "other words");
    EXPECT_EQ(content->update(*index, root.string(), {docs}), (Stats{0, 0, 0, 2, false}));
}

// In the two tests below, statements are made to fail by a trigger that a connection of the
// test's adds to the database, as a full disk or a damaged row would in use.
TEST_F(ContentUpdate, AFailingDocumentIsNeitherStoredNorCountedAndIsTakenNextTime) {
    struct FailingWrite {
        const char* what;
        const char* trigger;
        bool batchLost;  // SQLite rolls back the whole transaction
    };
    const FailingWrite cases[] = {
        {"refused before its row is written",
         "CREATE TRIGGER failing BEFORE INSERT ON docs WHEN NEW.path LIKE '%/fail.txt' "
         "BEGIN SELECT RAISE(ABORT, 'refused'); END",
         false},
        // FAIL keeps the row the statement wrote: only the savepoint takes it away.
        {"failing after its row is written",
         "CREATE TRIGGER failing AFTER INSERT ON docs WHEN NEW.path LIKE '%/fail.txt' "
         "BEGIN SELECT RAISE(FAIL, 'refused'); END",
         false},
        {"failing at the second document with the whole transaction",
         "CREATE TRIGGER failing BEFORE INSERT ON docs WHEN (SELECT count(*) FROM docs) > 0 "
         "BEGIN SELECT RAISE(ROLLBACK, 'refused'); END",
         true},
    };
    const std::string a = write("docs/a.txt", "alpha words");
    const std::string fail = write("docs/fail.txt", "fail words");
    const std::string c = write("docs/c.txt", "gamma words");
    int round = 0;
    for (const FailingWrite& failing : cases) {
        SCOPED_TRACE(failing.what);
        open(ContentIndex::Limits{}, "content" + std::to_string(round++) + ".sqlite");
        test::execute(*content, failing.trigger);
        const std::uint64_t g = content->generation();
        if (failing.batchLost) {
            EXPECT_EQ(update({docs}), Stats{});
            EXPECT_EQ(content->count(), 0);
            EXPECT_EQ(content->generation(), g);
        } else {
            EXPECT_EQ(update({docs}), (Stats{2, 0, 0, 0, false}));
            EXPECT_EQ(idOf(fail), 0);
            EXPECT_EQ(found("fail words"), std::set<std::string>{});
            EXPECT_EQ(found("alpha words"), std::set<std::string>{a});
            EXPECT_EQ(found("gamma words"), std::set<std::string>{c});
            EXPECT_GT(content->generation(), g);
        }
        expectOneTextPerDocument();

        test::execute(*content, "DROP TRIGGER failing");
        EXPECT_EQ(update({docs}), failing.batchLost ? (Stats{3, 0, 0, 0, false}) : (Stats{1, 0, 0, 2, false}));
        EXPECT_EQ(content->count(), 3);
        EXPECT_EQ(found("fail words"), std::set<std::string>{fail});
        expectOneTextPerDocument();
    }
}

TEST_F(ContentUpdate, AFailingChangeOrRemovalLeavesTheDocumentsAsTheyWere) {
    struct Case {
        const char* what;
        const char* trigger;
        std::vector<std::string> removed;  // files deleted before the failing update; else a.txt changes
        Stats during, after;               // the failing update, and the next once the trigger is gone
    };
    const Case cases[] = {
        {"a changed file failing after its row is updated",
         "CREATE TRIGGER failing AFTER UPDATE ON docs WHEN NEW.path LIKE '%/a.txt' "
         "BEGIN SELECT RAISE(FAIL, 'refused'); END",
         {},
         Stats{0, 0, 0, 3, false},
         Stats{1, 0, 0, 3, false}},
        {"a removal refused after its text is deleted",
         "CREATE TRIGGER failing BEFORE DELETE ON docs WHEN OLD.path LIKE '%/b.txt' "
         "BEGIN SELECT RAISE(ABORT, 'refused'); END",
         {"b.txt"},
         Stats{0, 0, 0, 3, false},
         Stats{0, 0, 1, 3, false}},
        {"removals failing at the second with the whole transaction",
         "CREATE TRIGGER failing BEFORE DELETE ON docs WHEN (SELECT count(*) FROM docs) < 4 "
         "BEGIN SELECT RAISE(ROLLBACK, 'refused'); END",
         {"b.txt", "c.txt", "d.txt"},
         Stats{0, 0, 0, 1, false},
         Stats{0, 0, 3, 1, false}},
    };
    int round = 0;
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        open(ContentIndex::Limits{}, "content" + std::to_string(round++) + ".sqlite");
        for (const std::string name : {"a", "b", "c", "d"}) write("docs/" + name + ".txt", name + " words");
        ASSERT_EQ(update({docs}), (Stats{4, 0, 0, 0, false}));
        if (row.removed.empty()) rewrite("docs/a.txt", "new words");
        for (const std::string& name : row.removed) fs::remove(docs + "/" + name);

        const auto paths = test::docPaths(*content);
        const auto texts = test::ftsTexts(*content);
        const std::uint64_t g = content->generation();
        test::execute(*content, row.trigger);
        EXPECT_EQ(update({docs}), row.during);
        EXPECT_EQ(test::docPaths(*content), paths);
        EXPECT_EQ(test::ftsTexts(*content), texts);
        EXPECT_EQ(content->generation(), g);

        test::execute(*content, "DROP TRIGGER failing");
        EXPECT_EQ(update({docs}), row.after);
        if (row.removed.empty()) {
            EXPECT_EQ(found("new words"), std::set<std::string>{docs + "/a.txt"});
        }
        for (const std::string& name : row.removed) EXPECT_EQ(idOf(docs + "/" + name), 0) << name;
        expectOneTextPerDocument();
    }
}

TEST_F(ContentUpdate, FifoNamedLikeTextIsSkipped) {
    write("docs/a.txt", "alpha");
    ASSERT_EQ(::mkfifo((docs + "/notes.txt").c_str(), 0600), 0);
    EXPECT_EQ(update({docs}), (Stats{1, 1, 0, 0, false}));
    EXPECT_EQ(content->count(), 2);
}

TEST_F(ContentUpdate, GenerationRisesOnlyWithChanges) {
    const std::string b = write("docs/b.txt", "beta");
    write("docs/a.txt", "alpha");
    std::uint64_t g = content->generation();
    update({docs});
    EXPECT_GT(content->generation(), g);
    g = content->generation();
    update({docs});
    EXPECT_EQ(content->generation(), g) << "nothing written";
    fs::remove(b);
    EXPECT_EQ(update({docs}).removed, 1);
    EXPECT_GT(content->generation(), g);
    g = content->generation();
    content->clear();
    EXPECT_GT(content->generation(), g);
}

TEST_F(ContentUpdate, SearchesRunWhileAnUpdateWrites) {
    for (int i = 0; i < 400; ++i) write("docs/f" + std::to_string(i) + ".txt", "shared phrase " + std::to_string(i));
    const auto index = scan();
    std::atomic<bool> done{false};
    std::size_t largest = 0;
    std::thread searcher([&] {
        while (!done.load()) largest = std::max(largest, content->search("shared phrase", 100000).size());
    });
    const Stats stats = content->update(*index, root.string(), {docs});
    done = true;
    searcher.join();
    EXPECT_EQ(stats, (Stats{400, 0, 0, 0, false}));
    EXPECT_LE(largest, 400u);
    EXPECT_EQ(content->search("shared phrase", 100000).size(), 400u);
}

}  // namespace
}  // namespace quorvanta::core
