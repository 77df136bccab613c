#include "platform/trash/TrashName.h"

namespace quorvanta::platform {
namespace {

// The longest prefix of at most `bytes` bytes that does not end inside a UTF-8 sequence.
std::string_view cutAtSequence(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t cut = bytes;
    // A continuation byte right after the cut belongs to the sequence the cut would split; at
    // most three of them follow a lead byte.
    for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back) --cut;
    return text.substr(0, cut);
}

}  // namespace

std::string trashName(std::string_view name, unsigned number) {
    if (number <= 1 && name.size() <= kMaxTrashNameBytes) return std::string(name);
    const std::string suffix = number > 1 ? "." + std::to_string(number) : "";

    // The extension starts at the last dot that does not start the name.
    std::string_view stem = name;
    std::string_view ext;
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
    // An extension that leaves no room for the stem counts as part of it.
    if (ext.size() + suffix.size() >= kMaxTrashNameBytes) {
        stem = name;
        ext = {};
    }
    const std::size_t stemBudget = kMaxTrashNameBytes - suffix.size() - ext.size();
    std::string chosen(cutAtSequence(stem, stemBudget));
    chosen += suffix;
    chosen += ext;
    return chosen;
}

}  // namespace quorvanta::platform
