// libFuzzer harness for the WAV reader (RIFF chunks, fmt, data, LIST/INFO, id3).
#include "audio/formats/WAV.h"
#include "tests/fuzz/AudioInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta;
    test::checkAudioReader("WAV", data, size, true, [](const audio::Reader& reader, core::AudioMeta& meta) {
        return audio::WAV::parse(reader, meta);
    });
    return 0;
}
