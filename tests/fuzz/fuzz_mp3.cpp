// libFuzzer harness for the MPEG audio reader (tag, frame search, VBR headers, walk, trailer).
#include "audio/formats/MP3.h"
#include "tests/fuzz/AudioInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta;
    test::checkAudioReader("MP3", data, size, true, [](const audio::Reader& reader, core::AudioMeta& meta) {
        return audio::MP3::parse(reader, meta);
    });
    return 0;
}
