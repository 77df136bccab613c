#include "quorvanta_cli/ReferenceAudioProbe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <sys/stat.h>

namespace quorvanta::cli {
namespace {

class LibavProbe final : public ReferenceAudioProbe {
public:
    LibavProbe() { av_log_set_level(AV_LOG_QUIET); }

    std::optional<ReferenceAudio> read(const std::string& path) const override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        AVFormatContext* context = nullptr;
        if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) != 0) return std::nullopt;
        ReferenceAudio ref;
        if (avformat_find_stream_info(context, nullptr) >= 0) {
            if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
                ref.seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
            const int stream = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
            if (stream >= 0) {
                const AVCodecParameters* codec = context->streams[stream]->codecpar;
                ref.sampleRate = codec->sample_rate > 0 ? codec->sample_rate : 0;
                ref.channels =
                    codec->ch_layout.nb_channels > 0 ? static_cast<std::uint32_t>(codec->ch_layout.nb_channels) : 0;
            }
        }
        avformat_close_input(&context);
        return ref;
    }
};

}  // namespace

std::unique_ptr<ReferenceAudioProbe> libavReferenceProbe() { return std::make_unique<LibavProbe>(); }

}  // namespace quorvanta::cli
