// libFuzzer harness for the event journal reader: any bytes give a journal or none; a journal it
// accepts writes back to the same bytes (so nothing was read past the end or invented), its ids
// grow and its paths hold no NUL.
#include "platform/events/JournalFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta::platform;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto journal = parseJournal(bytes);
    if (!journal) return 0;
    bool sound = journalBytes(*journal) == bytes;
    for (std::size_t k = 0; k < journal->events.size(); ++k) {
        sound = sound && journal->events[k].path.find('\0') == std::string::npos;
        sound = sound && (k == 0 || journal->events[k - 1].id < journal->events[k].id);
    }
    if (!sound) {
        std::fprintf(stderr, "journal reader accepted bytes it does not write back\n");
        std::abort();
    }
    return 0;
}
