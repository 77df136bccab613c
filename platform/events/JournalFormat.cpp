#include "platform/events/JournalFormat.h"

#include <cstring>

namespace quorvanta::platform {
namespace {

template <class T>
void put(std::string& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

template <class T>
bool take(std::string_view& in, T& value) {
    if (in.size() < sizeof(T)) return false;
    value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= T(static_cast<unsigned char>(in[i])) << (8 * i);
    in.remove_prefix(sizeof(T));
    return true;
}

}  // namespace

std::optional<Journal> parseJournal(std::string_view in) {
    if (in.size() < kJournalHeaderBytes || std::memcmp(in.data(), kJournalMagic, sizeof kJournalMagic) != 0)
        return std::nullopt;
    in.remove_prefix(sizeof kJournalMagic);
    std::uint32_t identityBytes = 0;
    if (!take(in, identityBytes) || identityBytes > kMaxIdentityBytes || identityBytes > in.size()) return std::nullopt;
    Journal journal;
    journal.identity.assign(in.substr(0, identityBytes));
    in.remove_prefix(identityBytes);
    while (!in.empty()) {
        FileEvent e;
        std::uint32_t length = 0;
        if (!take(in, e.id) || !take(in, e.flags) || !take(in, length)) return std::nullopt;
        if (length > kMaxPathBytes || length > in.size()) return std::nullopt;
        if (!journal.events.empty() && e.id <= journal.events.back().id) return std::nullopt;
        e.path.assign(in.substr(0, length));
        if (e.path.find('\0') != std::string::npos) return std::nullopt;
        in.remove_prefix(length);
        journal.events.push_back(std::move(e));
    }
    return journal;
}

std::string journalHeader(std::string_view identity) {
    identity = identity.substr(0, kMaxIdentityBytes);
    std::string out(kJournalMagic, sizeof kJournalMagic);
    put(out, static_cast<std::uint32_t>(identity.size()));
    out.append(identity);
    return out;
}

std::string journalRecord(const FileEvent& event) {
    if (event.path.size() > kMaxPathBytes || event.path.find('\0') != std::string::npos) return "";
    std::string out;
    put(out, event.id);
    put(out, event.flags);
    put(out, static_cast<std::uint32_t>(event.path.size()));
    out.append(event.path);
    return out;
}

std::string journalBytes(const Journal& journal) {
    std::string out = journalHeader(journal.identity);
    for (const FileEvent& e : journal.events) out += journalRecord(e);
    return out;
}

}  // namespace quorvanta::platform
