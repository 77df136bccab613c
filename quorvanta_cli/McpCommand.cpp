// quorvanta-cli mcp: an MCP server on standard input and output. Each line read is one JSON-RPC
// message for MCP::handle, whose tool calls reach the application through the local API socket;
// each reply is written as one line and flushed before the next line is read.
#include "QuorvantaCore/api/LocalAPIClient.h"
#include "QuorvantaCore/api/MCP.h"
#include "quorvanta_cli/ApiSocket.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Tool.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

namespace quorvanta::cli {
namespace {

// Lines of standard input as raw bytes, without their line feed. A line longer than the MCP
// message bound keeps only its first maxMessageBytes + 1 bytes (enough to be refused as too
// long); the rest is read and dropped, so memory stays bounded whatever the client sends.
class InputLines {
public:
    // The next line, or none at end of input (or a read error). A last line without a line feed
    // still counts.
    std::optional<std::string> next() {
        std::string line;
        bool any = false;
        for (;;) {
            if (pos_ == end_ && !fill()) {
                if (!any) return std::nullopt;
                return line;
            }
            any = true;
            const char* start = buffer_ + pos_;
            const auto* feed = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
            const std::size_t length = feed ? static_cast<std::size_t>(feed - start) : end_ - pos_;
            const std::size_t room = kKeep - std::min(kKeep, line.size());
            line.append(start, std::min(length, room));
            pos_ += length;
            if (feed) {
                ++pos_;
                return line;
            }
        }
    }

private:
    static constexpr std::size_t kKeep = core::MCP::maxMessageBytes + 1;

    bool fill() {
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, buffer_, sizeof buffer_);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            pos_ = 0;
            end_ = static_cast<std::size_t>(got);
            return true;
        }
    }

    char buffer_[65536];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

}  // namespace

int mcpCommand(Cli& cli) {
    const std::string path = apiSocketPath(cli.args);
    const core::MCP::Forward forward = [&path](std::string_view request) {
        return core::LocalAPIClient::send(request, path);
    };
    InputLines input;
    while (std::optional<std::string> line = input.next()) {
        if (!line->empty() && line->back() == '\r') line->pop_back();
        if (line->empty()) continue;
        // Encoding cannot fail, so only a notification gives nothing; an empty reply is never
        // written, since a blank line would break the one-message-per-line framing.
        const std::optional<std::string> reply = core::MCP::handle(*line, forward);
        if (reply && !reply->empty()) cli.out << *reply << '\n' << std::flush;
    }
    return kSuccess;
}

}  // namespace quorvanta::cli
