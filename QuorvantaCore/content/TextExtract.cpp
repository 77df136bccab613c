// ContentIndex::extract: the text of one text file or PDF.
//
// Files are read through readWholeFile, which opens without blocking and checks with fstat: the
// volume index holds a symbolic link's own size, and a FIFO or device with a text extension must
// not hang an update. A file that grew past the limit since it was indexed gives no text.
#include "QuorvantaCore/content/ContentIndex.h"

#include "QuorvantaCore/content/PopplerQuiet.h"

#include "QuorvantaCore/text/Grapheme.h"
#include "QuorvantaCore/text/Utf8.h"
#include "platform/fs/ReadWholeFile.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace quorvanta::core {

namespace {

std::string firstCharacters(std::string_view text, std::int64_t count) {
    return std::string(text::graphemePrefix(text, static_cast<std::size_t>(std::max<std::int64_t>(count, 0))));
}

bool blank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return std::strchr(" \t\n\r\f\v", c) && c != '\0'; });
}

std::optional<std::string> pdfText(const std::string& path, const ContentIndex::Limits& limits) {
    const std::optional<std::string> bytes = platform::readWholeFile(path, limits.pdfBytes);
    if (!bytes || bytes->empty() || bytes->size() > static_cast<std::size_t>(INT32_MAX)) return std::nullopt;
    silencePoppler();
    // An empty user password is tried by loading without one; a locked document stays locked.
    std::unique_ptr<poppler::document> doc(
        poppler::document::load_from_raw_data(bytes->data(), static_cast<int>(bytes->size())));
    if (!doc || doc->is_locked()) return std::nullopt;
    std::string text;
    const int pages = doc->pages();
    for (int i = 0; i < pages; ++i) {
        if (i > 0) text += '\n';
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (!page) continue;
        const poppler::byte_array utf8 = page->text().to_utf8();
        text.append(utf8.data(), utf8.size());
    }
    // A document without text still gives its page separators.
    if (blank(text) || !text::isValidUtf8(text)) return std::nullopt;
    return firstCharacters(text, limits.textPerFile);
}

std::string lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

std::optional<std::string> ContentIndex::extract(const std::string& path, const std::string& ext, std::uint64_t size,
                                                 const Limits& limits) {
    const std::string lower = lowered(ext);
    if (lower == "pdf") {
        if (size > limits.pdfBytes) return std::nullopt;
        return pdfText(path, limits);
    }
    if (!textExts().contains(lower) || size > limits.textFileBytes) return std::nullopt;
    const std::optional<std::string> bytes = platform::readWholeFile(path, limits.textFileBytes);
    if (!bytes || bytes->find('\0') != std::string::npos || !text::isValidUtf8(*bytes)) return std::nullopt;
    return firstCharacters(*bytes, limits.textPerFile);
}

}  // namespace quorvanta::core
