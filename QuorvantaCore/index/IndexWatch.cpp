#include "QuorvantaCore/index/IndexWatch.h"

#include "QuorvantaCore/index/FolderPaths.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/fs/PathText.h"

namespace quorvanta::core {
namespace {

void watchHook(void* ctx, const char* path) {
    if (ctx)
        static_cast<platform::EventSource*>(ctx)->watchFolder(path);
    else
        platform::processEventSource()->watchFolder(path);
}

}  // namespace

void connectToEventSource(VolumeIndex& index, platform::EventSource* source) {
    fidx_set_dir_hook(index.s(), watchHook, source);
}

void disconnectFromEventSource(VolumeIndex& index) { fidx_set_dir_hook(index.s(), nullptr, nullptr); }

std::size_t watchIndexedFolders(const VolumeIndex& index, const std::vector<std::string>& scopes,
                                platform::EventSource* source) {
    const auto process = source ? nullptr : platform::processEventSource();
    platform::EventSource& target = source ? *source : *process;
    std::size_t asked = 0;
    for (const FolderPath& f : liveFolderPaths(index, true)) {
        bool wanted = scopes.empty();
        for (const std::string& scope : scopes) wanted = wanted || platform::isSameOrUnder(f.path, scope);
        if (!wanted) continue;
        target.watchFolder(f.path);
        ++asked;
    }
    return asked;
}

}  // namespace quorvanta::core
