#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"

#include "QuorvantaCore/content/PopplerQuiet.h"

#include <poppler/cpp/poppler-document.h>

#include <sys/mman.h>
#include <climits>
#include <memory>

namespace quorvanta::app::filemeta {

Facts pdfFacts(int fd, std::uint64_t fileSize) {
    Facts facts;
    // Poppler reads from memory or by path, and a path would open the file again without
    // O_NOATIME; it takes the length as an int.
    if (fileSize == 0 || fileSize > static_cast<std::uint64_t>(INT_MAX)) return facts;
    void* bytes = mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE, fd, 0);
    if (bytes == MAP_FAILED) return facts;
    core::silencePoppler();
    {
        // An empty user password is tried by loading without one; a locked document gives no count.
        const std::unique_ptr<poppler::document> doc(
            poppler::document::load_from_raw_data(static_cast<const char*>(bytes), static_cast<int>(fileSize)));
        if (doc && !doc->is_locked()) facts.pages = doc->pages();
    }
    munmap(bytes, fileSize);
    return facts;
}

}  // namespace quorvanta::app::filemeta
