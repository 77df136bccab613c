// Joining a volume index to the file-event layer: the engine's folder hook makes every folder
// that a scan, a subtree scan or a refresh listing opens watched first, so no change between
// the watch and the listing is missed; and the folders of an index already in memory (a
// loaded snapshot) can be watched without listing them.
#pragma once

#include "platform/events/EventSource.h"

#include <string>
#include <vector>

namespace quorvanta::core {

class VolumeIndex;

// Sets the index's folder hook to `source`'s watchFolder; null: the process's source, asked at
// each call. The source must outlive the hook (clear it with disconnectFromEventSource).
void connectToEventSource(VolumeIndex& index, platform::EventSource* source = nullptr);
void disconnectFromEventSource(VolumeIndex& index);

// Watches every live folder of the index (roots included) at or below one of the scopes
// (empty: every folder); gives how many were asked for. Nothing is listed.
std::size_t watchIndexedFolders(const VolumeIndex& index, const std::vector<std::string>& scopes,
                                platform::EventSource* source = nullptr);

}  // namespace quorvanta::core
