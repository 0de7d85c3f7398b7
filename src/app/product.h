#pragma once
// The product this installer carries, as its names stand on disk: the payload's one top folder,
// which also names the main program and the archive, the folder a picked parent receives, and
// the files the installation adds. The window's layout and the messages keep their own wording.

#include <string_view>

namespace app {

inline constexpr std::string_view kProductName = "brisel";
inline constexpr std::string_view kRootFolderName = "Quorvale";
inline constexpr std::string_view kProgramExtension = ".exe";
inline constexpr std::string_view kArchiveExtension = ".7z";
inline constexpr std::string_view kStartProgramFile = "startup.exe";
inline constexpr std::string_view kUninstallerFile = "uninstall.exe";
// The publisher's folder under Program Files, which holds the product's uninstaller folder.
inline constexpr std::string_view kPublisherFolderName = "Veltrane";
// The extractor, below the installer's own directory.
inline constexpr std::string_view kExtractorFile = "lib\\7z.exe";

}  // namespace app
