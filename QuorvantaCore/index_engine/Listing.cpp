// Listing one folder for the refresh: the scan's folder reader on a single folder.
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "QuorvantaCore/index_engine/FolderReader.h"

#include <unistd.h>

#include <cerrno>
#include <memory>

using namespace quorvanta::index_engine;

namespace quorvanta::index_engine {

int listFolder(fidx* h, const char* path, uint8_t inherited, bool followLink, fidx_listing* out) {
    *out = fidx_listing{};
    std::vector<std::string> includeExts;
    if (h) {
        fidx_dir_hook hook;
        void* ctx;
        {
            std::lock_guard lock(h->priv->settings);
            includeExts = h->priv->includeExts;
            hook = h->priv->dirHook;
            ctx = h->priv->dirHookCtx;
        }
        if (hook) hook(ctx, path);
    }
    const int fd = openFolder(path, followLink);
    if (fd < 0) return -1;
    ReadContext ctx{{}, &includeExts};
    int result = deviceOf(fd, ctx.device) ? 0 : -1;
    if (result == 0) {
        const std::unique_ptr<char[]> buffer(new char[kListingBufferBytes]);
        scan_stats ignored{};
        result = readFolder(fd, ctx, inherited, buffer.get(), *out, ignored);
    }
    const int err = errno;
    close(fd);
    if (result != 0) {
        fidx_listing_free(out);
        errno = err;
    }
    return result;
}

}  // namespace quorvanta::index_engine

int fidx_list(fidx* h, const char* path, uint8_t inherited, fidx_listing* out) {
    return listFolder(h, path, inherited, false, out);
}
