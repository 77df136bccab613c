// libFuzzer harness for the FLAC reader (an ID3v2 tag in front, metadata blocks, Vorbis comments).
#include "audio/formats/FLAC.h"
#include "audio/formats/ID3.h"
#include "tests/fuzz/AudioInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta;
    test::checkAudioReader("FLAC", data, size, false, [](const audio::Reader& reader, core::AudioMeta& meta) {
        return audio::FLAC::parse(reader, audio::ID3::tagEnd(reader, 0), meta);
    });
    return 0;
}
