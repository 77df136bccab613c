// Readable failure messages for the preference values: their JSON forms.
#pragma once

#include "QuorvantaApp/model/prefs/Category.h"
#include "QuorvantaApp/model/prefs/SourceConfig.h"
#include "QuorvantaCore/json/JSONText.h"

#include <ostream>

namespace quorvanta::app {

inline void PrintTo(const SourceConfig& config, std::ostream* out) { *out << core::writeJSONCompact(config.toJSON()); }
inline void PrintTo(const Category& category, std::ostream* out) { *out << encodeCategories({category}); }

}  // namespace quorvanta::app
