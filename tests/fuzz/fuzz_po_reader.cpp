// libFuzzer harness for the PO reader: any bytes give a table or none, and every translation the
// table keeps is non-empty, valid UTF-8 and inserts the same values as its key.
#include "QuorvantaCore/lang/PoReader.h"
#include "QuorvantaCore/lang/TextFormat.h"
#include "QuorvantaCore/text/Utf8.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta::core;
    const auto table = readPo({reinterpret_cast<const char*>(data), size});
    if (!table) return 0;
    const FormatArg values[] = {"text", 42};
    for (const auto& [key, translation] : *table) {
        if (key.empty() || translation.empty() || !text::isValidUtf8(key) || !text::isValidUtf8(translation) ||
            !samePlaceholders(key, translation)) {
            std::fprintf(stderr, "PO reader kept an entry it must refuse\n");
            std::abort();
        }
        (void)formatText(translation, values);
    }
    return 0;
}
