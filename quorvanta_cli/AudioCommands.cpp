// audio-info file...: what the tag readers find in each file.
// audio-check <dir> [--limit N] | --list <file>: the readers measured against libavformat over a
// sample of files, one report line per extension.
#include "QuorvantaCore/text/Utf8.h"
#include "audio/parser/AudioParser.h"
#include "quorvanta_cli/AudioCheck.h"
#include "quorvanta_cli/AudioInfo.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/ReferenceAudioProbe.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::cli {
namespace {

std::optional<core::AudioMeta> parseFile(const std::string& path) {
    return audio::AudioParser::parse(path, lowerExtension(path));
}

// The non-empty lines of a UTF-8 text file; none when it cannot be read as such.
std::optional<std::vector<std::string>> listLines(const std::string& listFile) {
    std::ifstream in(listFile, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || !core::text::isValidUtf8(text)) return std::nullopt;
    std::vector<std::string> lines;
    std::istringstream split(text);
    for (std::string line; std::getline(split, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

int audioInfoCommand(Cli& cli) {
    for (std::size_t i = 1; i < cli.args.size(); ++i) {
        const std::string path = *cli.args.at(i);
        printAudioInfo(cli.out, path, parseFile(path));
    }
    return kSuccess;
}

int audioCheckCommand(Cli& cli) {
    const auto first = cli.args.at(1);
    if (!first) usageExit(cli, "audio-check");
    std::vector<std::string> files;
    std::int64_t found = 0;
    std::optional<std::vector<std::string>> listed;
    // An unreadable list falls back to walking a folder named "--list".
    if (*first == "--list" && cli.args.at(2)) listed = listLines(*cli.args.at(2));
    if (listed) {
        files = std::move(*listed);
        found = static_cast<std::int64_t>(files.size());
    } else {
        AudioSampler sampler(cli.args.number(options::audioCheck::limit));
        sampleFolder(*first, sampler);
        files = sampler.taken();
        found = sampler.found();
    }

    std::vector<std::optional<core::AudioMeta>> metas;
    metas.reserve(files.size());
    const double start = now();
    for (const std::string& f : files) metas.push_back(parseFile(f));
    const double parseMs = (now() - start) * 1000;

    const auto probe = libavReferenceProbe();
    std::map<std::string, AudioCheckRecord> records;
    for (std::size_t i = 0; i < files.size(); ++i)
        compareFile(records[lowerExtension(files[i])], files[i], metas[i], *probe);

    cli.out << "files compared: " << files.size() << " of " << found << " found, parsed in " << fmt(parseMs) << " ms ("
            << fmt(parseMs / static_cast<double>(std::max<std::size_t>(files.size(), 1))) << " ms/file)\n";
    printAudioCheckRecords(cli.out, records);
    return kSuccess;
}

}  // namespace quorvanta::cli
