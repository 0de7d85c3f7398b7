#pragma once
// The installation record under HKEY_LOCAL_MACHINE: where it lies, its values, and how the
// start-up check reads the installed marker. The installed program reads these values as stored.

#include <cstdint>
#include <optional>

#include "runtime/bytes.h"

namespace app {

inline constexpr char kRecordKeyPath[] = "SOFTWARE\\VELTRANE";
inline constexpr char kMainPathValue[] = "briselPath";
inline constexpr char kStartPathValue[] = "stratPath";
inline constexpr char kRootPathValue[] = "rootPath";
inline constexpr char kInstalledValue[] = "installer";
// The installed marker's values: after an installation, and after a reset.
inline constexpr std::uint32_t kMarkerInstalled = 1, kMarkerReset = 0;

// The installed marker: the first up to four data bytes, little-endian and zero-extended; no data
// counts as 0. The product is installed exactly when this is 1.
[[nodiscard]] std::uint32_t InstalledMarker(const std::optional<runtime::Bytes>& data);

}  // namespace app
