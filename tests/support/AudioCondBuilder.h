// An audio condition written in one call, as the tables of cases of the query model and audio
// table tests write theirs.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"

#include <cstdint>
#include <string>
#include <utility>

namespace quorvanta::test {

inline core::AudioCond audioCond(core::AudioCond::Field field, std::int64_t lo, std::int64_t hi, std::string text = "",
                                 bool flag = true) {
    core::AudioCond cond(field);
    cond.lo = lo;
    cond.hi = hi;
    cond.text = std::move(text);
    cond.flag = flag;
    return cond;
}

}  // namespace quorvanta::test
