// The video probe over libavformat, reading through our own AVIOContext so that every byte comes
// from the caller's descriptor (opened with O_NOATIME) and every read first checks the deadline.
//
// A demuxer may ask to open further files (playlists, concatenation lists, external references);
// io_open refuses all of them, so a file can only make the probe read itself.
#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <mutex>

namespace quorvanta::app::filemeta {

namespace {

constexpr int kBufferBytes = 64 * 1024;
constexpr std::int64_t kProbeBytes = 2 * 1024 * 1024;
constexpr std::int64_t kAnalyseMicroseconds = 2 * AV_TIME_BASE;

// The read position and the deadline, shared by the I/O callbacks and the interrupt callback.
struct Session {
    const MediaInput& input;
    const platform::Clock& clock;
    platform::Clock::TimePoint deadline;
    std::uint64_t position = 0;

    bool expired() const { return clock.now() >= deadline; }
};

int readPacket(void* opaque, std::uint8_t* into, int count) {
    auto& s = *static_cast<Session*>(opaque);
    if (s.expired()) return AVERROR_EXIT;
    if (count <= 0) return 0;
    if (s.position >= s.input.size) return AVERROR_EOF;
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(s.input.size - s.position, static_cast<std::uint64_t>(count)));
    const std::int64_t got = s.input.read(s.position, into, want);
    if (got < 0) return AVERROR(static_cast<int>(-got));
    if (got == 0) return AVERROR_EOF;
    s.position += static_cast<std::uint64_t>(got);
    return static_cast<int>(got);
}

std::int64_t seekTo(void* opaque, std::int64_t offset, int whence) {
    auto& s = *static_cast<Session*>(opaque);
    const auto size =
        static_cast<std::int64_t>(std::min<std::uint64_t>(s.input.size, std::numeric_limits<std::int64_t>::max()));
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            base = 0;
            break;
        case SEEK_CUR:
            base = static_cast<std::int64_t>(s.position);
            break;
        case SEEK_END:
            base = size;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if ((offset < 0 && base < -offset) || (offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset))
        return AVERROR(EINVAL);
    s.position = static_cast<std::uint64_t>(base + offset);
    return base + offset;
}

int interrupted(void* opaque) { return static_cast<const Session*>(opaque)->expired() ? 1 : 0; }

int refuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

void quietLibav() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Owns the format context (once opened) and our I/O context; frees both in the right order.
struct Demuxer {
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    bool opened = false;

    ~Demuxer() {
        if (opened)
            avformat_close_input(&format);
        else
            avformat_free_context(format);
        if (io) av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// The stored size of the first video stream that is a moving picture: cover art and thumbnails
// come as video streams too, and must not give an audio file a pixel size.
void readPixelSize(const AVFormatContext& format, Facts& facts) {
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream& stream = *format.streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        if (stream.disposition & (AV_DISPOSITION_ATTACHED_PIC | AV_DISPOSITION_TIMED_THUMBNAILS)) continue;
        if (stream.codecpar->width <= 0 || stream.codecpar->height <= 0) continue;
        facts.width = stream.codecpar->width;
        facts.height = stream.codecpar->height;
        return;
    }
}

}  // namespace

MediaInput descriptorInput(int fd, std::uint64_t fileSize) {
    return MediaInput{fileSize, [fd](std::uint64_t offset, std::uint8_t* into, std::size_t count) -> std::int64_t {
                          for (;;) {
                              const ssize_t got = pread(fd, into, count, static_cast<off_t>(offset));
                              if (got >= 0) return got;
                              if (errno != EINTR) return -errno;
                          }
                      }};
}

Facts videoFacts(const MediaInput& input, const platform::Clock& clock, platform::Clock::Duration limit) {
    Facts facts;
    quietLibav();
    Session session{input, clock, clock.now() + limit};
    Demuxer demuxer;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferBytes));
    if (!buffer) return facts;
    demuxer.io = avio_alloc_context(buffer, kBufferBytes, 0, &session, readPacket, nullptr, seekTo);
    if (!demuxer.io) {
        av_free(buffer);
        return facts;
    }
    demuxer.format = avformat_alloc_context();
    if (!demuxer.format) return facts;
    demuxer.format->pb = demuxer.io;
    demuxer.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    demuxer.format->interrupt_callback = AVIOInterruptCB{interrupted, &session};
    demuxer.format->io_open = refuseOpen;
    demuxer.format->probesize = kProbeBytes;
    demuxer.format->max_analyze_duration = kAnalyseMicroseconds;
    // On failure avformat_open_input frees the format context (never our I/O context).
    if (avformat_open_input(&demuxer.format, "", nullptr, nullptr) < 0) {
        demuxer.format = nullptr;
        return facts;
    }
    demuxer.opened = true;
    // Stream parameters that the headers leave open come from the first packets. A failure here
    // (or the deadline) still leaves what the headers gave.
    avformat_find_stream_info(demuxer.format, nullptr);
    if (demuxer.format->duration != AV_NOPTS_VALUE && demuxer.format->duration > 0)
        facts.duration = static_cast<double>(demuxer.format->duration) / AV_TIME_BASE;
    readPixelSize(*demuxer.format, facts);
    return facts;
}

}  // namespace quorvanta::app::filemeta
