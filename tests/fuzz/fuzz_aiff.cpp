// libFuzzer harness for the AIFF reader (chunks, COMM with its 80-bit rate, NAME/AUTH, ID3).
#include "audio/formats/AIFF.h"
#include "tests/fuzz/AudioInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta;
    test::checkAudioReader("AIFF", data, size, true, [](const audio::Reader& reader, core::AudioMeta& meta) {
        return audio::AIFF::parse(reader, meta);
    });
    return 0;
}
