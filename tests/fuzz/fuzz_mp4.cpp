// libFuzzer harness for the MP4 reader (top-level walk, moov boxes, esds descriptors, item list).
#include "audio/formats/MP4.h"
#include "tests/fuzz/AudioInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta;
    test::checkAudioReader("MP4", data, size, true, [](const audio::Reader& reader, core::AudioMeta& meta) {
        return audio::MP4::parse(reader, meta);
    });
    return 0;
}
