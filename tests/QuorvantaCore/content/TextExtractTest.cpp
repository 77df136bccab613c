#include "QuorvantaCore/content/ContentIndex.h"

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::TempDir;

std::optional<std::string> extractFile(const fs::path& path, const std::string& ext,
                                       const ContentIndex::Limits& limits) {
    std::error_code ec;
    const std::uint64_t size = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
    return ContentIndex::extract(path.string(), ext, size, limits);
}

// A PDF with one page per text, each drawn in Helvetica (an empty text gives a page without
// text), with a correct cross-reference table.
std::string makePdf(const std::vector<std::string>& pages) {
    std::vector<std::string> objects;
    std::string kids;
    const int firstPage = 4;  // 1 catalog, 2 pages, 3 font, then page and content pairs
    for (std::size_t i = 0; i < pages.size(); ++i) kids += std::to_string(firstPage + 2 * i) + " 0 R ";
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string content = pages[i].empty() ? "" : "BT /F1 18 Tf 72 700 Td (" + pages[i] + ") Tj ET";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                          std::to_string(firstPage + 2 * i + 1) + " 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
    }
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::optional<fs::path> onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && ::access((fs::path(folder) / program).c_str(), X_OK) == 0)
            return fs::path(folder) / program;
    return std::nullopt;
}

struct TextCase {
    const char* name;
    const char* ext;
    std::string bytes;
    std::optional<std::string> text;
};

TEST(TextExtractText, TableOfCases) {
    ContentIndex::Limits limits;
    limits.textFileBytes = 64;
    limits.textPerFile = 5;
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // one cluster
    const TextCase cases[] = {
        {"short text whole", "txt", "hello", "hello"},
        {"cut to five characters", "md", "hello world", "hello"},
        {"combining marks count with their letter", "txt", "e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301",
         "e\u0301e\u0301e\u0301e\u0301e\u0301"},
        {"a mark after the fifth letter stays with it", "txt", "abcde\u0301f", "abcde\u0301"},
        {"an emoji sequence at the boundary is kept whole", "txt", "abcd" + family + "x", "abcd" + family},
        {"CR LF is one character", "csv", "a,b\r\nc,d", "a,b\r\nc"},
        {"empty file gives the empty text", "txt", "", ""},
        {"a 0 byte is binary", "txt", std::string("ab\0cd", 5), std::nullopt},
        {"invalid UTF-8", "txt", "caf\xe9", std::nullopt},
        {"a sequence cut short", "txt", "ab\xc3", std::nullopt},
        {"an encoded surrogate", "txt", "\xed\xa0\x80", std::nullopt},
        {"exactly the byte limit is read", "log", std::string(64, 'a'), "aaaaa"},
        {"one byte more is not", "log", std::string(65, 'a'), std::nullopt},
        {"capital extension", "TXT", "upper", "upper"},
        {"mixed-case extension", "Json", "{}", "{}"},
        {"unknown extension", "png", "hello", std::nullopt},
        {"no extension", "", "hello", std::nullopt},
        {"text under the pdf extension", "pdf", "hello", std::nullopt},
    };
    TempDir dir;
    int n = 0;
    for (const TextCase& c : cases) {
        const fs::path file = dir.write("f" + std::to_string(n++), c.bytes);
        EXPECT_EQ(extractFile(file, c.ext, limits), c.text) << c.name;
    }
}

TEST(TextExtractText, FilesThatAreNotRegularOrTooLargeGiveNone) {
    ContentIndex::Limits limits;
    limits.textFileBytes = 64;
    TempDir dir;
    const fs::path fifo = dir / "notes.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ContentIndex::extract(fifo.string(), "txt", 0, limits), std::nullopt);
    fs::create_directory(dir / "folder.txt");
    EXPECT_EQ(ContentIndex::extract((dir / "folder.txt").string(), "txt", 0, limits), std::nullopt);
    EXPECT_EQ(ContentIndex::extract((dir / "missing.txt").string(), "txt", 0, limits), std::nullopt);
    // The size given (the index's) decides before the file is opened...
    const fs::path small = dir.write("small.txt", "small");
    EXPECT_EQ(ContentIndex::extract(small.string(), "txt", 65, limits), std::nullopt);
    // ...and a file larger than the size the index holds (a link's own size, a file that grew)
    // is refused by its real size.
    const fs::path big = dir.write("big.txt", std::string(100, 'b'));
    fs::create_symlink(big, dir / "link.txt");
    EXPECT_EQ(ContentIndex::extract((dir / "link.txt").string(), "txt", 7, limits), std::nullopt);
    fs::create_symlink(small, dir / "small-link.txt");
    EXPECT_EQ(ContentIndex::extract((dir / "small-link.txt").string(), "txt", 9, limits), "small");
}

class TextExtractPdf : public ::testing::Test {
protected:
    TempDir dir;
    ContentIndex::Limits limits;

    fs::path pdf(const std::string& name, const std::vector<std::string>& pages) {
        return dir.write(name, makePdf(pages));
    }
    // An encrypted copy of `plain` with the given user password; none without qpdf.
    std::optional<fs::path> encrypted(const fs::path& plain, const std::string& userPassword) {
        const auto qpdf = onPath("qpdf");
        if (!qpdf) return std::nullopt;
        const fs::path out = dir / ("enc-" + userPassword + ".pdf");
        const auto result = quorvanta::test::runProgram(
            *qpdf, {"--encrypt", userPassword, "owner-secret", "256", "--", plain.string(), out.string()});
        EXPECT_EQ(result.status, 0) << result.err;
        return out;
    }
};

TEST_F(TextExtractPdf, TextPagesAndCases) {
    testing::internal::CaptureStderr();
    const fs::path text = pdf("text.pdf", {"Hello PDF world", "Second page"});
    const auto got = extractFile(text, "pdf", limits);
    ASSERT_TRUE(got.has_value());
    EXPECT_NE(got->find("Hello PDF world"), std::string::npos) << *got;
    EXPECT_NE(got->find("Second page"), std::string::npos) << *got;
    EXPECT_LT(got->find("Hello"), got->find("Second"));
    EXPECT_EQ(extractFile(text, "PDF", limits), got);

    // Text-less pages give only separators: no text.
    EXPECT_EQ(extractFile(pdf("blank.pdf", {"", "", ""}), "pdf", limits), std::nullopt);
    // Garbage named .pdf, a truncated PDF and an empty file.
    EXPECT_EQ(extractFile(dir.write("garbage.pdf", std::string(3000, '\x9c')), "pdf", limits), std::nullopt);
    const std::string whole = makePdf({"Cut short"});
    EXPECT_EQ(extractFile(dir.write("cut.pdf", whole.substr(0, whole.size() / 2)), "pdf", limits), std::nullopt);
    EXPECT_EQ(extractFile(dir.write("empty.pdf", ""), "pdf", limits), std::nullopt);

    ContentIndex::Limits capped = limits;
    capped.textPerFile = 5;
    EXPECT_EQ(extractFile(text, "pdf", capped), "Hello");

    // Over the PDF limit: by the size given, and by the file's own size.
    ContentIndex::Limits small = limits;
    small.pdfBytes = fs::file_size(text) - 1;
    EXPECT_EQ(extractFile(text, "pdf", small), std::nullopt);
    EXPECT_EQ(ContentIndex::extract(text.string(), "pdf", 10, small), std::nullopt);
    small.pdfBytes = fs::file_size(text);
    EXPECT_TRUE(extractFile(text, "pdf", small).has_value());
    // The text-file limit does not apply to PDFs.
    ContentIndex::Limits tinyText = limits;
    tinyText.textFileBytes = 1;
    EXPECT_TRUE(extractFile(text, "pdf", tinyText).has_value());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(TextExtractPdf, EncryptedDocuments) {
    const fs::path plain = pdf("plain.pdf", {"Secret words inside"});
    const auto locked = encrypted(plain, "user-secret");
    if (!locked) GTEST_SKIP() << "qpdf is not installed (scripts/install-deps installs it)";
    const auto open = encrypted(plain, "");
    ASSERT_TRUE(open.has_value());
    testing::internal::CaptureStderr();
    EXPECT_EQ(extractFile(*locked, "pdf", limits), std::nullopt);
    const auto text = extractFile(*open, "pdf", limits);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("Secret words inside"), std::string::npos) << *text;
}

}  // namespace
}  // namespace quorvanta::core
