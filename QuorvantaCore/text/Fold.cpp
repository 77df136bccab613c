#include "QuorvantaCore/text/Fold.h"

#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/Grapheme.h"
#include "QuorvantaCore/text/Utf8.h"

#include <utf8proc.h>

#include <cstring>
#include <vector>

namespace quorvanta::core::text {
namespace {

// Code points of one cluster while it is being folded. A cluster can be long (a letter under
// hundreds of marks), so the buffer grows to the largest seen by this thread and stays.
std::vector<utf8proc_int32_t>& scratch() {
    thread_local std::vector<utf8proc_int32_t> buffer(64);
    return buffer;
}

// A lone code point that folding leaves as it is: no case folding, no decomposition, not a
// mark that the fold drops. Most CJK and many other names consist of these.
bool foldsToItself(char32_t cp) {
    const utf8proc_property_t* prop = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
    return prop->casefold_seqindex == UINT16_MAX && prop->decomp_seqindex == UINT16_MAX &&
           prop->category != UTF8PROC_CATEGORY_MN;
}

// Folds one well-formed cluster of len bytes into out (room for len bytes); returns the bytes
// written. A fold longer than the cluster is replaced by the cluster's own bytes.
std::size_t foldCluster(const unsigned char* cluster, std::size_t len, unsigned char* out) {
    char32_t first = 0;
    if (decodeUtf8(cluster, len, first) == len && foldsToItself(first)) {
        std::memcpy(out, cluster, len);
        return len;
    }

    auto& buffer = scratch();
    const auto options = static_cast<utf8proc_option_t>(UTF8PROC_DECOMPOSE | UTF8PROC_CASEFOLD);
    utf8proc_ssize_t count = 0;
    for (;;) {
        count = utf8proc_decompose_custom(cluster, static_cast<utf8proc_ssize_t>(len), buffer.data(),
                                          static_cast<utf8proc_ssize_t>(buffer.size()), options, nullptr, nullptr);
        if (count < 0) {  // cannot happen for a well-formed cluster; keep the bytes regardless
            std::memcpy(out, cluster, len);
            return len;
        }
        if (static_cast<std::size_t>(count) <= buffer.size()) break;
        buffer.resize(static_cast<std::size_t>(count));
    }

    utf8proc_ssize_t kept = 0;
    for (utf8proc_ssize_t i = 0; i < count; ++i)
        if (utf8proc_category(buffer[i]) != UTF8PROC_CATEGORY_MN) buffer[kept++] = buffer[i];
    kept = utf8proc_normalize_utf32(buffer.data(), kept, UTF8PROC_COMPOSE);

    std::size_t written = 0;
    for (utf8proc_ssize_t i = 0; i < kept; ++i) {
        unsigned char bytes[4];
        const auto n = static_cast<std::size_t>(utf8proc_encode_char(buffer[i], bytes));
        if (written + n > len) {
            std::memcpy(out, cluster, len);
            return len;
        }
        std::memcpy(out + written, bytes, n);
        written += n;
    }
    return written;
}

}  // namespace

std::size_t foldInto(const unsigned char* in, std::size_t n, unsigned char* out) {
    std::size_t i = 0;
    std::size_t o = 0;
    while (i < n) {
        const unsigned char b = in[i];
        // An ASCII byte before another ASCII byte (or the end) is a cluster of its own: no mark
        // can attach to it. CR LF is the one two-byte ASCII cluster, and it folds byte by byte.
        if (b < 0x80 && (i + 1 == n || in[i + 1] < 0x80)) {
            out[o++] = asciiLower(b);
            ++i;
            continue;
        }
        const std::size_t end = graphemeEnd(in, n, i);
        if (end - i == 1) {
            out[o++] = asciiLower(b);  // ASCII, or an ill-formed byte that stays as it is
        } else {
            o += foldCluster(in + i, end - i, out + o);
        }
        i = end;
    }
    return o;
}

std::string fold(std::string_view text) {
    std::string out(text.size(), '\0');
    const std::size_t n = foldInto(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                                   reinterpret_cast<unsigned char*>(out.data()));
    out.resize(n);
    return out;
}

}  // namespace quorvanta::core::text

extern "C" void quorvanta_fold_hook(const std::uint8_t* name, std::size_t length, std::uint8_t* out) {
    const std::size_t n = quorvanta::core::text::foldInto(name, length, out);
    std::memset(out + n, 0x01, length - n);
}
