// The drive roots searched for DJ libraries when the caller names none: the mount points that
// lie inside one of the external-drive folders ("/media", "/run/media", "/mnt"; the folders
// themselves left out), in the mount table's order, each once (a folder mounted over twice is
// listed twice in the table). Pure apart from reading the mount table; safe from any thread.
#pragma once

#include "platform/volumes/MountInfo.h"

#include <string>
#include <vector>

namespace quorvanta::core::dj {

std::vector<std::string> externalDriveRoots(const std::vector<platform::MountEntry>& mounts);

// The roots from the live mount table; none when it cannot be read.
std::vector<std::string> externalDriveRoots();

}  // namespace quorvanta::core::dj
