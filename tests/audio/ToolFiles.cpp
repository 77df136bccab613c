#include "tests/audio/ToolFiles.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <utility>

namespace quorvanta::audio::test {

std::string missingTool(const std::vector<std::string>& programs) {
    for (const auto& p : programs) {
        if (!run("command -v " + p)) return p;
    }
    return {};
}

bool run(const std::string& commandLine) {
    const std::string line = "(" + commandLine + ") >/dev/null 2>&1 </dev/null";
    return std::system(line.c_str()) == 0;
}

std::string runAll(const std::vector<std::string>& commandLines) {
    std::string failed;
    for (const auto& c : commandLines) {
        if (!run(c)) failed += c + "\n";
    }
    return failed;
}

std::string quoted(const std::filesystem::path& path) {
    std::string out = "'";
    for (char c : path.string()) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::filesystem::path toolFolder(const std::string& suite) {
    // Under the run's own TMPDIR, which the test main removes at the end.
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path dir = std::filesystem::path(tmp ? tmp : "/tmp") / ("audio-tools-" + suite);
    std::filesystem::create_directories(dir);
    return dir;
}

ToolFileSet makeToolFiles(const std::string& suite, std::vector<std::string> programs,
                          const std::function<std::vector<std::string>(const FileNamer& file)>& commands) {
    ToolFileSet files{std::move(programs), {}, {}};
    if (!missingTool(files.programs).empty()) return files;
    files.dir = toolFolder(suite);
    const std::filesystem::path dir = files.dir;
    files.failed = runAll(commands([&dir](std::string_view name) { return quoted(dir / name); }));
    return files;
}

std::string ffmpegSine(int seconds) {
    return "ffmpeg -nostdin -y -v error -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" +
           std::to_string(seconds) + " ";
}

std::optional<Probe> probe(const std::filesystem::path& file) {
    const std::string command =
        "ffprobe -v error -select_streams a:0 -count_packets -show_entries "
        "stream=sample_rate,channels,nb_read_packets,sample_fmt,bits_per_raw_sample:"
        "format=duration -of default=nw=1 " +
        quoted(file) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string text;
    char buf[512];
    while (std::fgets(buf, sizeof buf, pipe)) text += buf;
    if (pclose(pipe) != 0) return std::nullopt;
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos && !values.count(line.substr(0, eq)))
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    auto number = [&](const char* key) { return std::strtod(values[key].c_str(), nullptr); };
    Probe p;
    p.sampleRate = static_cast<std::uint32_t>(number("sample_rate"));
    p.channels = static_cast<std::uint32_t>(number("channels"));
    p.seconds = number("duration");
    p.packets = static_cast<std::uint64_t>(number("nb_read_packets"));
    p.sampleFormat = values["sample_fmt"];
    p.bitsPerRawSample = static_cast<std::uint32_t>(number("bits_per_raw_sample"));
    return p;
}

}  // namespace quorvanta::audio::test
