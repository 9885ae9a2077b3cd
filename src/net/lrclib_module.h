#pragma once

// The online module, liblirotag_online.so: the lyrics service's client and Qt Network
// behind it. The program opens it through ConnectLrclib.

#include <QString>

#include "net/lrclib.h"

namespace lirotag {

struct OnlineModule {
  // A new service at `server`, the caller's to delete.
  LrclibService* (*connect)(const QString& server);
};

// The module's one exported symbol: extern "C" const void* lirotag_online_module(int),
// an OnlineModule.
inline constexpr char kOnlineModuleEntry[] = "lirotag_online_module";
// Raised whenever OnlineModule, LrclibService or the types they pass change.
inline constexpr int kOnlineModuleVersion = 1;
inline constexpr char kOnlineModuleFile[] = "liblirotag_online.so";

}  // namespace lirotag
