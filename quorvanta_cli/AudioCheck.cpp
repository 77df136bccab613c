#include "quorvanta_cli/AudioCheck.h"

#include "QuorvantaCore/text/Case.h"
#include "platform/fs/PathText.h"
#include "quorvanta_cli/Decimal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <memory>

namespace quorvanta::cli {
namespace {

constexpr std::array kSampled{"mp3", "flac", "wav", "aif", "aiff", "m4a"};

bool qualifies(std::string_view name) {
    if (name.starts_with("._")) return false;
    const std::string ext = lowerExtension(name);
    for (const char* e : kSampled)
        if (ext == e) return true;
    return false;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

// Walks the folder `path`, open at fd (taken over); false once the sampler is full.
bool walk(int fd, const std::string& path, AudioSampler& sampler) {
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
    if (!dir) {
        close(fd);
        return true;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (fstatat(dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
        }
        const std::string child = platform::joinPath(path, name);
        if (type == DT_DIR) {
            const int sub = openat(dirfd(dir.get()), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0 && !walk(sub, child, sampler)) return false;
        } else if (type != DT_LNK) {
            if (!sampler.offer(name, child)) return false;
        }
    }
    return true;
}

}  // namespace

std::string lowerExtension(std::string_view path) {
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return "";
    return core::text::lowercased(name.substr(dot + 1));
}

bool AudioSampler::offer(std::string_view name, const std::string& path) {
    if (full()) return false;
    if (!qualifies(name)) return true;
    ++found_;
    const auto taken = static_cast<std::int64_t>(taken_.size());
    if ((found_ % 40 == 0 && taken < limit_) || taken < limit_ / 4) taken_.push_back(path);
    return !full();
}

void sampleFolder(const std::string& folder, AudioSampler& sampler) {
    if (sampler.full()) return;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) walk(fd, folder, sampler);
}

bool durationsAgree(double referenceSeconds, double mineSeconds) {
    const double diff = std::fabs(referenceSeconds - mineSeconds);
    return diff <= 1.5 || diff / std::max(referenceSeconds, 1.0) < 0.01;
}

bool ratesAgree(double referenceRate, std::uint32_t parsed) {
    if (!std::isfinite(referenceRate) || referenceRate < 0 || referenceRate >= 4294967296.0) return false;
    return static_cast<std::uint32_t>(referenceRate) == parsed;
}

void compareFile(AudioCheckRecord& record, const std::string& path, const std::optional<core::AudioMeta>& meta,
                 const ReferenceAudioProbe& probe) {
    record.n += 1;
    if (!meta) {
        record.unparsed += 1;
        if (record.notes.size() < 3) record.notes.push_back("not parsed: " + path);
        return;
    }
    if (!meta->artist.empty() || !meta->title.empty()) record.tagged += 1;
    const auto ref = probe.read(path);
    if (!ref) {
        record.duration += 1;
        record.rate += 1;
        record.channels += 1;
        return;
    }
    const double mine = meta->durationMs / 1000.0;
    if (durationsAgree(ref->seconds, mine)) {
        record.duration += 1;
    } else if (record.notes.size() <= 3) {
        record.notes.push_back("duration " + decimal(ref->seconds) + " vs mine " + decimal(mine) + ": " + path);
    }
    if (ratesAgree(ref->sampleRate, meta->sampleRate)) {
        record.rate += 1;
    } else if (record.notes.size() <= 3) {
        record.notes.push_back("rate " + decimal(ref->sampleRate) + " vs " + std::to_string(meta->sampleRate) + ": " +
                               path);
    }
    if (ref->channels == meta->channels) {
        record.channels += 1;
    } else if (record.notes.size() <= 5) {
        record.notes.push_back("channels " + std::to_string(ref->channels) + " vs mine " +
                               std::to_string(meta->channels) + " [" + std::string(core::label(meta->codec)) + " " +
                               std::to_string(meta->bits) + " bit]: " + path);
    }
}

void printAudioCheckRecords(std::ostream& out, const std::map<std::string, AudioCheckRecord>& records) {
    for (const auto& [ext, r] : records) {
        out << ext << ": n=" << r.n << " unparsed=" << r.unparsed << " duration~AudioToolbox=" << r.duration
            << " rate=" << r.rate << " channels=" << r.channels << " with artist/title=" << r.tagged << '\n';
        for (const std::string& note : r.notes) out << "   " << note << '\n';
    }
}

}  // namespace quorvanta::cli
