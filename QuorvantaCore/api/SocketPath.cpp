// Fills in LocalAPI.h: the socket's path in the data directory.
#include "QuorvantaCore/api/LocalAPI.h"
#include "QuorvantaCore/index/VolumeID.h"

namespace quorvanta::core::LocalAPI {

std::filesystem::path defaultSocketPath() { return VolumeID::directory() / "api.sock"; }

}  // namespace quorvanta::core::LocalAPI
