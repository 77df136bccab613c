// The client side of the local API socket: sends one request line, returns the one reply line.
// Stateless; each call uses its own connection, so any thread may call, several at once. A call
// blocks for up to 30 s per read while the application answers.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace quorvanta::core::LocalAPIClient {

class ClientError : public std::exception {
public:
    enum class Case { notRunning, io };

    static ClientError notRunning(std::string path);
    static ClientError io();

    Case kind() const { return kind_; }
    const std::string& path() const { return path_; }  // for notRunning
    // The text the user is shown.
    const std::string& description() const { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    ClientError(Case kind, std::string path, std::string text);
    Case kind_;
    std::string path_;
    std::string text_;
};

// Sends `request` (one JSON object, no line feed) to the socket at `path` and returns the reply
// without its line feed; a reply cut short by the server is returned as far as it came. Throws
// ClientError: notRunning when the path cannot name a socket or nobody accepts there, io when no
// socket can be made, the request cannot be written whole, or no reply byte arrives.
std::string send(std::string_view request, const std::string& path);

}  // namespace quorvanta::core::LocalAPIClient
