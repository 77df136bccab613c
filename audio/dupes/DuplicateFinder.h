// DuplicateFinder: finds duplicate audio files across volume indexes in stages ordered from cheap
// to dear, each stage looking only at what the previous one left:
//   candidates  audio files by extension, at least `minSize` bytes (no folders, junk, roots or
//               deleted entries)
//   size        files of equal recorded size
//   quickHash   equal hash of size + first and last 64 KiB (or of the whole file when small)
//   fullHash    equal hash of size + every byte, for the groups the quick hash did not cover
//   identical   one group per set of byte-identical files, with a suggested keeper
//   sameSong    files of one song in other formats, by tags or "Artist - Title" names and
//               nearly equal durations
//   fingerprint those same-song groups checked by listening with fpcalc (off by default)
// The groups come back ordered by the bytes their surplus members waste, most first.
//
// One finder serves one run. A caller creates it over the volumes it wants searched, calls `run`
// off its main thread, and may call `cancel` from any thread at any time: the run then stops at
// its next checkpoint and returns nothing when cancelled before the hash stages ended, else the
// identical groups found so far. Files that vanished, changed since they were indexed, cannot be
// read or are not regular files simply drop out. One file reached through several paths (a
// hardlink pair, overlapping roots) counts once: it is never its own duplicate.
//
// Threads: the cancel request is an atomic flag. The hash stages fan out over max(1, `threads`)
// workers of the platform's work-pulling loop; `progress` is then called from worker threads, one
// call at a time, with the pool's mutex held, so it must be quick and must not call back into the
// finder's run. The volume indexes are only read.
#pragma once

#include "QuorvantaCore/index/VolumeIndex.h"
#include "audio/dupes/DupModel.h"
#include "audio/dupes/Fingerprint.h"
#include "platform/dispatch/CancelFlag.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvanta::audio {

class DuplicateFinder {
public:
    struct Options {
        std::vector<std::string> extensions = {"mp3", "mp2", "flac", "wav",  "wave", "aif", "aiff", "aifc",
                                               "m4a", "m4b", "ogg",  "opus", "wma",  "ape", "wv"};
        std::uint64_t minSize = 1024;
        std::int64_t threads = 4;
        std::set<DupStage> stages = {DupStage::size, DupStage::quickHash, DupStage::fullHash, DupStage::sameSong};
        std::uint32_t durationToleranceMs = 2000;
    };

    struct Progress {
        DupStage stage = DupStage::size;
        std::int64_t done = 0;
        std::int64_t total = 0;
        std::int64_t groups = 0;  // groups known at this point of the stage

        friend bool operator==(const Progress&, const Progress&) = default;
    };
    using ProgressFn = std::function<void(const Progress&)>;

    // A file that passed the candidate filter: its volume's position, entry index and size.
    struct Cand {
        std::int64_t vol = 0;
        std::int64_t entry = 0;
        std::uint64_t size = 0;
    };
    using CandList = std::vector<Cand>;

    DuplicateFinder(std::vector<std::shared_ptr<core::VolumeIndex>> volumes, Options options);
    DuplicateFinder(const DuplicateFinder&) = delete;
    DuplicateFinder& operator=(const DuplicateFinder&) = delete;

    // Permanent: a cancelled finder stays cancelled.
    void cancel();
    bool isCancelled() const;

    std::vector<DupGroup> run(const ProgressFn& progress);

    // The index of the member to keep: the best quality (every lossless file above every lossy
    // one), then the richest tags, then the oldest, then the shortest path; the earlier member on
    // a complete tie. 0 with fewer than two members.
    static std::int64_t best(const std::vector<DupMember>& members);

    // The worker pool of the hash stages: transform of every item, in item order. Workers pull
    // items one at a time; `tick` gets the done count at the last item and every 64th. Once the
    // finder is cancelled no further item starts, and the slots of items never started stay
    // empty.
    template <class Item, class Result>
    std::vector<std::optional<Result>> parallelMap(
        const std::vector<Item>& items, const std::function<void(std::int64_t)>& tick,
        const std::function<std::optional<Result>(const Item&)>& transform) const {
        std::vector<std::optional<Result>> results(items.size());
        pull(items.size(), tick, [&](std::size_t i) { results[i] = transform(items[i]); });
        return results;
    }

    // Same song in another format: the candidates grouped by song key (SongKey.h) and runs of
    // durations at most `durationToleranceMs` apart, each identical group and each file counting
    // as one unit. Groups have id 0 and kind sameSong. Empty when the finder is cancelled.
    std::vector<DupGroup> sameSongGroups(const CandList& candidates, const std::vector<CandList>& identical,
                                         const ProgressFn& progress) const;
    // The fingerprint check of same-song groups: only members that sound alike stay, in groups
    // marked confirmed. Without the fingerprint program the groups come back unchanged.
    std::vector<DupGroup> confirmWithFingerprints(std::vector<DupGroup> groups, const ProgressFn& progress) const;

    // Where the fingerprint program is looked for and how long one run of it may take; tests
    // replace them. Set before `run`.
    struct FingerprintProgram {
        std::function<std::optional<std::string>()> locate = fpcalcPath;
        std::chrono::milliseconds timeLimit = kFingerprintTimeLimit;
    };
    void setFingerprintProgramForTesting(FingerprintProgram program);

    const std::vector<std::shared_ptr<core::VolumeIndex>>& volumes() const { return volumes_; }
    const Options& options() const { return options_; }

private:
    // A set of candidates with equal quick digests; `whole` when that digest covered every byte.
    struct QuickGroup {
        CandList members;
        bool whole = false;
    };

    // The stages, in run order.
    CandList candidates() const;
    std::vector<CandList> sizeStage(const CandList& candidates, const ProgressFn& progress) const;
    std::vector<QuickGroup> quickHashStage(const std::vector<CandList>& buckets, const ProgressFn& progress) const;
    std::vector<CandList> fullHashStage(const std::vector<QuickGroup>& quickGroups, const ProgressFn& progress) const;
    std::vector<DupGroup> identicalGroups(const std::vector<CandList>& settled) const;
    static void finalOrder(std::vector<DupGroup>& groups);

    bool enabled(DupStage stage) const { return options_.stages.contains(stage); }
    // Calls progress unless it is empty.
    static void notify(const ProgressFn& progress, const Progress& p) {
        if (progress) progress(p);
    }
    std::string path(const Cand& c) const;
    // Calls work(0) ... work(count - 1) as `parallelMap` describes.
    void pull(std::size_t count, const std::function<void(std::int64_t)>& tick,
              const std::function<void(std::size_t)>& work) const;

    const std::vector<std::shared_ptr<core::VolumeIndex>> volumes_;
    const Options options_;
    FingerprintProgram fingerprintProgram_;
    platform::CancelFlag cancelled_;  // never cleared
};

}  // namespace quorvanta::audio
