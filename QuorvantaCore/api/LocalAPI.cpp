#include "QuorvantaCore/api/LocalAPI.h"

#include "QuorvantaCore/json/JSONText.h"
#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/query/QueryParser.h"

#include <chrono>
#include <limits>
#include <type_traits>

namespace quorvanta::core::LocalAPI {
namespace {

constexpr std::string_view kTooLarge = "request too large";
constexpr std::string_view kNotAnObject = "expected a JSON object with \"op\"";
constexpr std::string_view kUnknownOp = "unknown op (supported: status, search)";
constexpr std::string_view kQueryNotString = "\"query\" must be a string";
constexpr std::string_view kQueryTooLong = "query too long";
constexpr std::string_view kBadLimit = "\"limit\" must be a positive integer";
constexpr std::string_view kEncodingFailed = "{\"ok\":false}";

std::string errorReply(std::string_view text) {
    Response response;
    response.error = std::string(text);
    return encode(response);
}

// The "limit" member: 50 when absent, else a number or boolean whose integer value (fraction cut
// toward zero, true 1, false 0) is at least 1, capped at 200. A float is compared as a double
// before any conversion, so 1e300 is capped rather than converted out of range.
std::optional<std::int64_t> readLimit(const nlohmann::json& request) {
    const auto it = request.find("limit");
    if (it == request.end()) return defaultLimit;
    const nlohmann::json& limit = *it;
    if (limit.is_boolean()) {
        if (limit.get<bool>()) return 1;
        return std::nullopt;
    }
    if (limit.is_number_unsigned()) {
        const auto value = limit.get<std::uint64_t>();
        if (value < 1) return std::nullopt;
        return value > static_cast<std::uint64_t>(maxLimit) ? maxLimit : static_cast<std::int64_t>(value);
    }
    if (limit.is_number_integer()) {
        const auto value = limit.get<std::int64_t>();
        if (value < 1) return std::nullopt;
        return value > maxLimit ? maxLimit : value;
    }
    if (limit.is_number_float()) {
        const double value = limit.get<double>();
        if (!(value >= 1)) return std::nullopt;
        if (value > static_cast<double>(maxLimit)) return maxLimit;
        return static_cast<std::int64_t>(value);
    }
    return std::nullopt;
}

std::int64_t saturatingSum(const std::vector<Volume>& volumes) {
    std::int64_t sum = 0;
    for (const Volume& volume : volumes) {
        if (__builtin_add_overflow(sum, volume.entries, &sum)) {
            sum = volume.entries > 0 ? std::numeric_limits<std::int64_t>::max()
                                     : std::numeric_limits<std::int64_t>::min();
        }
    }
    return sum;
}

template <typename T>
bool readMember(const nlohmann::json& object, const char* key, T& out) {
    const auto it = object.find(key);
    if (it == object.end()) return false;
    if constexpr (std::is_same_v<T, std::string>) {
        if (!it->is_string()) return false;
        out = it->get<std::string>();
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!it->is_boolean()) return false;
        out = it->get<bool>();
    } else if constexpr (std::is_unsigned_v<T>) {
        if (!it->is_number_unsigned()) return false;  // non-negative integers parse as unsigned
        const auto value = it->get<std::uint64_t>();
        if (value > std::numeric_limits<T>::max()) return false;
        out = static_cast<T>(value);
    } else {
        if (it->is_number_integer() && !it->is_number_unsigned()) {
            out = it->get<std::int64_t>();
        } else if (it->is_number_unsigned()) {
            const auto value = it->get<std::uint64_t>();
            if (value > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) return false;
            out = static_cast<T>(value);
        } else {
            return false;
        }
    }
    return true;
}

std::string handleRequest(std::string_view bytes, const Backend& backend) {
    if (bytes.size() > maxRequestBytes) return errorReply(kTooLarge);
    const std::optional<nlohmann::json> parsed = parseJSONStrict(bytes);
    if (!parsed || !parsed->is_object()) return errorReply(kNotAnObject);
    const nlohmann::json& request = *parsed;
    const auto op = request.find("op");
    if (op == request.end() || !op->is_string()) return errorReply(kNotAnObject);

    const auto& opName = op->get_ref<const std::string&>();
    if (opName == "status") {
        Response response;
        response.ok = true;
        response.volumes = backend.volumes();
        response.entries = saturatingSum(*response.volumes);
        return encode(response);
    }
    if (opName != "search") return errorReply(kUnknownOp);

    const auto queryMember = request.find("query");
    if (queryMember == request.end() || !queryMember->is_string()) return errorReply(kQueryNotString);
    const auto& text = queryMember->get_ref<const std::string&>();
    if (text.size() > maxQueryBytes) return errorReply(kQueryTooLong);
    const std::optional<std::int64_t> limit = readLimit(request);
    if (!limit) return errorReply(kBadLimit);

    Query query;
    try {
        query = QueryParser::parse(text, std::chrono::system_clock::now(), Calendar::current());
    } catch (const QueryError& error) {
        return errorReply(error.description());
    }

    SearchResult found = backend.search(query, *limit);
    Response response;
    response.ok = true;
    response.query = text;
    response.total = found.total;
    response.shown = static_cast<std::int64_t>(found.rows.size());
    response.results = std::move(found.rows);
    return encode(response);
}

}  // namespace

std::string handle(std::string_view request, const Backend& backend) {
    try {
        return handleRequest(request, backend);
    } catch (...) {
        // A back-end that fails (out of memory, a closure that throws) gets the encoding's own
        // failure reply: never a success, never an exception into the server.
        return std::string(kEncodingFailed);
    }
}

nlohmann::json toJSON(const Row& row) {
    return {{"path", row.path}, {"name", row.name}, {"kind", row.kind}, {"size", row.size}, {"modified", row.modified}};
}

nlohmann::json toJSON(const Volume& volume) {
    return {{"name", volume.name},
            {"root", volume.root},
            {"entries", volume.entries},
            {"scanning", volume.scanning},
            {"offline", volume.offline}};
}

std::optional<Row> rowFromJSON(const nlohmann::json& value) {
    Row row;
    if (!value.is_object() || !readMember(value, "path", row.path) || !readMember(value, "name", row.name) ||
        !readMember(value, "kind", row.kind) || !readMember(value, "size", row.size) ||
        !readMember(value, "modified", row.modified)) {
        return std::nullopt;
    }
    return row;
}

std::optional<Volume> volumeFromJSON(const nlohmann::json& value) {
    Volume volume;
    if (!value.is_object() || !readMember(value, "name", volume.name) || !readMember(value, "root", volume.root) ||
        !readMember(value, "entries", volume.entries) || !readMember(value, "scanning", volume.scanning) ||
        !readMember(value, "offline", volume.offline)) {
        return std::nullopt;
    }
    return volume;
}

std::string encode(const Response& response) {
    try {
        nlohmann::json out = nlohmann::json::object();
        out["ok"] = response.ok;
        if (response.error) out["error"] = *response.error;
        if (response.volumes) {
            nlohmann::json list = nlohmann::json::array();
            for (const Volume& volume : *response.volumes) list.push_back(toJSON(volume));
            out["volumes"] = std::move(list);
        }
        if (response.entries) out["entries"] = *response.entries;
        if (response.query) out["query"] = *response.query;
        if (response.total) out["total"] = *response.total;
        if (response.shown) out["shown"] = *response.shown;
        if (response.results) {
            nlohmann::json list = nlohmann::json::array();
            for (const Row& row : *response.results) list.push_back(toJSON(row));
            out["results"] = std::move(list);
        }
        return writeJSONCompact(out);
    } catch (...) {
        return std::string(kEncodingFailed);
    }
}

}  // namespace quorvanta::core::LocalAPI
