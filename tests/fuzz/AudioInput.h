// Shared by the audio reader harnesses and the seeded corruption test: the input as an in-memory
// file, and the properties every parsed record must have whatever the bytes were.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "QuorvantaCore/text/Utf8.h"
#include "audio/parser/Reader.h"

#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quorvanta::test {

// A memfd holding the bytes (-1 when the system refuses one); the caller closes it.
inline int audioInputFile(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("fuzz-audio", MFD_CLOEXEC);
    if (fd < 0) return -1;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t w = write(fd, data + done, size - done);
        if (w <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<std::size_t>(w);
    }
    return fd;
}

// Empty when the text is fit for the audio table (valid UTF-8, no NUL), else what is wrong.
inline std::string audioTextProblem(const char* name, const std::string& text) {
    if (text.find('\0') != std::string::npos) return std::string(name) + " holds a NUL";
    if (!core::text::isValidUtf8(text)) return std::string(name) + " is not UTF-8";
    return {};
}

inline std::string audioMetaProblem(const core::AudioMeta& m) {
    for (const auto& [name, text] :
         {std::pair{"artist", &m.artist}, std::pair{"title", &m.title}, std::pair{"album", &m.album},
          std::pair{"genre", &m.genre}, std::pair{"key", &m.key}}) {
        if (std::string p = audioTextProblem(name, *text); !p.empty()) return p;
    }
    if (static_cast<unsigned>(m.codec) > 11) return "codec out of range";
    return {};
}

// Runs read(reader, meta) over the input as a file and aborts, naming `what`, when the record is
// unfit for the audio table or, with requireDuration, when read accepted a file without one.
template <class Read>
void checkAudioReader(const char* what, const std::uint8_t* data, std::size_t size, bool requireDuration, Read read) {
    const int fd = audioInputFile(data, size);
    if (fd < 0) return;
    std::string problem;
    if (auto reader = audio::Reader::fromDescriptor(fd)) {
        core::AudioMeta meta;
        const bool ok = read(*reader, meta);
        problem = audioMetaProblem(meta);
        if (problem.empty() && ok && requireDuration && meta.durationMs == 0) problem = "accepted without a duration";
    }
    close(fd);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", what, problem.c_str());
        std::abort();
    }
}

}  // namespace quorvanta::test
