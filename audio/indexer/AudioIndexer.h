// AudioIndexer keeps the audio table of one volume index in step with the audio files on that
// volume: it finds the files whose row is missing or was read at another modification time,
// parses them on `threads` workers and stores the rows in batches of 256, reporting progress.
//
// Threads: `run` blocks its caller while the workers run in the platform's work-pulling loop.
// `cancel` may be called from any thread at any time and is permanent (an atomic flag, no lock).
// `onProgress` is called with the run lock held, from a worker or from the thread that called
// `run`; it must not call back into the indexer. Set the callback and the test parser before
// `run`, not during it. A run's own lock guards its batch, processed count, the upserts and the
// progress calls.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/dispatch/CancelFlag.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::audio {

class AudioIndexer {
public:
    struct Progress {
        std::int64_t done = 0;
        std::int64_t total = 0;
        bool operator==(const Progress&) const = default;
    };

    // What `pending` finds: the entries to read, ascending, and every audio candidate on the
    // volume, up to date or not.
    struct Pending {
        std::vector<std::uint32_t> todo;
        std::int64_t total = 0;
    };

    // Reads one file's facts; none when it cannot be read. AudioParser::parse unless a test
    // replaces it.
    using Parser = std::function<std::optional<core::AudioMeta>(const std::string& path, std::string_view ext)>;

    // The extensions of audio candidates, lower case, without the dot.
    static const std::vector<std::string> extensions;

    // Attaches an empty audio table to the index when it has none. threads below 1 count as 1.
    AudioIndexer(std::shared_ptr<core::VolumeIndex> index, int threads);
    AudioIndexer(const AudioIndexer&) = delete;
    AudioIndexer& operator=(const AudioIndexer&) = delete;

    // Told as rows are stored (see `run`); none by default.
    std::function<void(Progress)> onProgress;

    const std::shared_ptr<core::VolumeIndex>& index() const { return index_; }
    int threads() const { return threads_; }

    // Candidates are live files (not folders, junk, roots or deleted entries; hidden files and
    // links count) of at least 128 bytes whose extension is one of `extensions`. A candidate is
    // to do unless the table holds a row for it stored with its current modification time.
    Pending pending() const;

    // Reads the pending files and stores a row for each (an empty one for a file that cannot be
    // read); gives how many it processed. Progress is told each time 256 rows are stored and once
    // more for the rows left at the end, as (already up to date + processed, total); with nothing
    // pending it is told once as (total, total). Entries deleted meanwhile are skipped. After
    // `cancel` the workers stop after their chunk, and the rows read so far are still stored.
    std::int64_t run();

    // Stops a running `run` and makes every later one do nothing.
    void cancel();
    bool isCancelled() const;

    // Tests only: replaces the parse call of the workers.
    void setParserForTesting(Parser parser);

private:
    const std::shared_ptr<core::VolumeIndex> index_;
    const int threads_;
    platform::CancelFlag cancelled_;  // never cleared
    Parser parser_;
};

}  // namespace quorvanta::audio
