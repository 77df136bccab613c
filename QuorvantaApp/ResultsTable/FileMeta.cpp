#include "QuorvantaApp/ResultsTable/FileMeta.h"

#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace quorvanta::app {

namespace {

std::optional<std::chrono::sys_seconds> accessTime(const std::string& path) {
    struct statx st {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_ATIME, &st) != 0 || !(st.stx_mask & STATX_ATIME)) return std::nullopt;
    return std::chrono::sys_seconds(std::chrono::seconds(st.stx_atime.tv_sec));
}

// One descriptor for every probe. O_NOATIME keeps our reads from moving the access time we report;
// the kernel allows it only to the file's owner (or with CAP_FOWNER), so EPERM retries without.
// O_NONBLOCK: opening a FIFO must not wait for a writer.
int openForProbe(const std::string& path) {
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    int fd = open(path.c_str(), kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = open(path.c_str(), kFlags);
    return fd;
}

filemeta::Facts probe(filemeta::Probe kind, int fd, std::uint64_t fileSize, std::string_view ext) {
    using filemeta::Probe;
    switch (kind) {
        case Probe::audio:
            return filemeta::audioFacts(fd, ext);
        case Probe::video:
            return filemeta::videoFacts(filemeta::descriptorInput(fd, fileSize), platform::realClock(),
                                        kVideoTimeLimit);
        case Probe::image:
            return filemeta::imageFacts(fd);
        case Probe::pdf:
            return filemeta::pdfFacts(fd, fileSize);
        case Probe::none:
            break;
    }
    return {};
}

}  // namespace

FileMeta FileMeta::load(const std::string& path, std::uint64_t size, std::string_view ext) {
    FileMeta meta;
    // Taken before anything opens the file.
    meta.atime = accessTime(path);
    const filemeta::Probe kind = filemeta::probeFor(ext);
    if (kind == filemeta::Probe::none) return meta;
    const int fd = openForProbe(path);
    if (fd < 0) return meta;
    struct stat st {};
    // FIFOs, devices, sockets and folders are never probed.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0)
        filemeta::finish(meta, probe(kind, fd, static_cast<std::uint64_t>(st.st_size), ext), size);
    close(fd);
    return meta;
}

}  // namespace quorvanta::app
