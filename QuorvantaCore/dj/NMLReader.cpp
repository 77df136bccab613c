#include "QuorvantaCore/dj/NMLReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace quorvanta::core::dj {

NMLReader::NMLReader(OnLocation onLocation) : onLocation_(std::move(onLocation)) {
    parser_ = XML_ParserCreate(nullptr);
    if (!parser_) {
        failed_ = true;
        return;
    }
    XML_SetUserData(parser_, this);
    XML_SetStartElementHandler(parser_, &NMLReader::startElement);
}

NMLReader::~NMLReader() {
    if (parser_) XML_ParserFree(parser_);
}

bool NMLReader::feed(std::string_view chunk, bool last) {
    if (failed_) return false;
    // expat takes an int length; a larger chunk goes in int-sized parts.
    constexpr std::size_t kMaxPart = std::numeric_limits<int>::max() / 2;
    do {
        const std::size_t n = std::min(chunk.size(), kMaxPart);
        const bool final = last && n == chunk.size();
        if (XML_Parse(parser_, chunk.data(), static_cast<int>(n), final) != XML_STATUS_OK) {
            failed_ = true;
            return false;
        }
        chunk.remove_prefix(n);
    } while (!chunk.empty());
    return true;
}

void XMLCALL NMLReader::startElement(void* self, const XML_Char* name, const XML_Char** attributes) {
    if (std::strcmp(name, "LOCATION") != 0) return;
    const XML_Char* dir = nullptr;
    const XML_Char* file = nullptr;
    const XML_Char* volume = nullptr;
    for (const XML_Char** a = attributes; a[0]; a += 2) {
        if (std::strcmp(a[0], "DIR") == 0)
            dir = a[1];
        else if (std::strcmp(a[0], "FILE") == 0)
            file = a[1];
        else if (std::strcmp(a[0], "VOLUME") == 0)
            volume = a[1];
    }
    if (!dir || !file) return;
    static_cast<NMLReader*>(self)->onLocation_(NMLLocation{dir, file, volume ? volume : ""});
}

NMLFileRead readNMLFile(const std::string& path, const NMLReader::OnLocation& onLocation) {
    // O_NONBLOCK keeps a FIFO in the collection's place from blocking the open; only a regular
    // file is read (a device could be endless).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return NMLFileRead::notOpened;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return NMLFileRead::notOpened;
    }
    NMLReader reader(onLocation);
    std::vector<char> buffer(256 * 1024);
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ok = false;
            break;
        }
        const bool last = got == 0;
        if (!reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)), last)) {
            ok = false;
            break;
        }
        if (last) break;
    }
    ::close(fd);
    return ok ? NMLFileRead::whole : NMLFileRead::stoppedEarly;
}

std::string nmlTrackPath(const NMLLocation& location) {
    std::string path;
    path.reserve(location.dir.size() + location.file.size());
    for (std::size_t at = 0; at < location.dir.size();) {
        if (location.dir.compare(at, 2, "/:") == 0) {
            path += '/';
            at += 2;
        } else {
            path += location.dir[at++];
        }
    }
    path += location.file;
    return path;
}

}  // namespace quorvanta::core::dj
