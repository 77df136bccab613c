#include "quorvanta_cli/AudioInfo.h"

#include "quorvanta_cli/Decimal.h"

namespace quorvanta::cli {

void printAudioInfo(std::ostream& out, const std::string& path, const std::optional<core::AudioMeta>& meta) {
    if (!meta) {
        out << path << ": not parsed\n";
        return;
    }
    const core::AudioMeta& m = *meta;
    out << path << '\n'
        << "  " << core::label(m.codec) << ' ' << m.sampleRate << " Hz " << unsigned(m.bits) << " bit "
        << unsigned(m.channels) << " ch, " << m.durationMs << " ms, " << m.bitrateKbps << " kbit/s"
        << (m.vbr ? " VBR" : "") << ", lossless=" << (m.lossless() ? "true" : "false") << '\n'
        << "  artist='" << m.artist << "' title='" << m.title << "' album='" << m.album << "' genre='" << m.genre
        << "' year=" << m.year << " bpm=" << decimal(m.bpm10 / 10.0) << " key='" << m.key << "'\n";
}

}  // namespace quorvanta::cli
