// The settings store (the user defaults): typed values under text keys. Kinds: boolean, integer,
// real, text, text list, and data (JSON-encoded records such as the category list, kept as text).
// A value of another kind than the one asked for reads as absent and is kept as it is.
//
// A volatile overlay (the command line's one-run overrides) is read before the stored values and
// never written: while a key is in the overlay, its overlay value is what every read returns, and
// changes of that key are stored but not seen until the next run.
//
// Change notices: observe(key, executor, callback) calls the callback on that executor once for
// each set or remove of the key, from whichever thread it came, after the value was stored and
// persisted and outside the store's locks, so a read inside the callback sees the new value (or a
// newer one). The overlay notifies nothing. The executor and token rules are those of
// NotificationCenter::observe: the executor must outlive the token, and once the token is dropped
// the callback is never called again, also not for a change whose notice already waits on the
// executor.
//
// Implementations: MemorySettings (tests), FileSettings (the user's settings file), and the
// process-wide standard store (standardSettings(), a FileSettings).
//
// Threads: every member is safe from any thread. Changes are applied and persisted in the order
// they are made.
#pragma once

#include "platform/dispatch/Executor.h"
#include "platform/notify/Connection.h"
#include "platform/notify/NotificationCenter.h"

#include <nlohmann/json.hpp>

#include <functional>

#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvanta::platform {

using SettingValue = std::variant<bool, std::int64_t, double, std::string, std::vector<std::string>>;

class Settings {
public:
    virtual ~Settings() = default;
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    std::optional<bool> boolean(std::string_view key) const;
    std::optional<std::int64_t> integer(std::string_view key) const;
    std::optional<double> real(std::string_view key) const;  // integers read as reals too
    std::optional<std::string> text(std::string_view key) const;
    std::optional<std::vector<std::string>> textList(std::string_view key) const;
    std::optional<std::string> data(std::string_view key) const;

    void setBoolean(std::string_view key, bool value);
    void setInteger(std::string_view key, std::int64_t value);
    // JSON has no NaN or infinity: a value that is not finite is not stored.
    void setReal(std::string_view key, double value);
    void setText(std::string_view key, std::string_view value);
    void setTextList(std::string_view key, const std::vector<std::string>& value);
    void setData(std::string_view key, std::string_view json);
    void remove(std::string_view key);

    // Puts `value` in the volatile overlay under `key`. Observers of the key are not called.
    void setOverlay(std::string_view key, const SettingValue& value);

    // Calls `callback` on `executor` after each set or remove of `key` (see above).
    Connection observe(std::string_view key, Executor& executor, std::function<void()> callback);

protected:
    Settings() = default;

    // Replaces every stored value (a store loading its file); persists nothing.
    void resetStored(nlohmann::json values);
    // Called after each change with every stored value, one change at a time, in change order.
    virtual void persist(const nlohmann::json& values) { (void)values; }

private:
    // The overlay's value for `key`, else the stored one.
    std::optional<nlohmann::json> lookup(std::string_view key) const;
    void change(std::string_view key, std::optional<nlohmann::json> value);

    mutable std::shared_mutex mutex_;  // guards values_ and overlay_
    std::mutex changeMutex_;           // keeps each change and its persist together, in order
    nlohmann::json values_ = nlohmann::json::object();
    nlohmann::json overlay_ = nlohmann::json::object();
    // The observers of each key, told after a change with no lock of the store held.
    NotificationCenter changes_;
};

// Values in memory only.
class MemorySettings final : public Settings {
public:
    MemorySettings() = default;
};

// The process-wide store: FileSettings on its default path, created on first use.
Settings& standardSettings();

}  // namespace quorvanta::platform
