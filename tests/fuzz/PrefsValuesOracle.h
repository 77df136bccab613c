// The properties every stored "categories" and "sources" text must keep, shared by the fuzz
// harness and the unit test's seeded mutations: any bytes decode without failing, and what was
// decoded, written again and read back, is the same.
#pragma once

#include "QuorvantaApp/model/prefs/Category.h"
#include "QuorvantaApp/model/prefs/SourceConfig.h"

#include <string_view>

namespace quorvanta::fuzz {

inline bool prefsValuesRoundTrip(std::string_view bytes) {
    const auto categories = app::decodeCategories(bytes);
    if (categories && app::decodeCategories(app::encodeCategories(*categories)) != categories) return false;
    const auto sources = app::decodeSources(bytes);
    return app::decodeSources(app::encodeSources(sources)) == sources;
}

}  // namespace quorvanta::fuzz
