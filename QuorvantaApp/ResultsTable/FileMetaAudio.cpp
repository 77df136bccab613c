#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"

#include "audio/parser/AudioParser.h"

namespace quorvanta::app::filemeta {

Facts audioFacts(int fd, std::string_view ext) {
    Facts facts;
    const auto meta = audio::AudioParser::parse(fd, ext);
    if (!meta) return facts;
    if (meta->durationMs > 0) facts.duration = meta->durationMs / 1000.0;
    if (meta->bitrateKbps > 0) facts.bitrate = meta->bitrateKbps * 1000.0;
    if (meta->sampleRate > 0) facts.rate = static_cast<double>(meta->sampleRate);
    return facts;
}

}  // namespace quorvanta::app::filemeta
