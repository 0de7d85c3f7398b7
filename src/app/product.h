#pragma once
// The product this installer carries, as its names stand on disk: the payload's one top folder,
// which also names the main program and the archive, the folder a picked parent receives, and
// the files the installation adds. The window's layout and the messages keep their own wording.

#include <string_view>

namespace app {

inline constexpr std::wstring_view kProductName = L"brisel";
inline constexpr std::wstring_view kRootFolderName = L"Quorvale";
inline constexpr std::wstring_view kProgramExtension = L".exe";
inline constexpr std::wstring_view kArchiveExtension = L".7z";
inline constexpr std::wstring_view kStartProgramFile = L"startup.exe";
inline constexpr std::wstring_view kUninstallerFile = L"uninstall.exe";
// The publisher's folder under Program Files, which holds the product's uninstaller folder.
inline constexpr std::wstring_view kPublisherFolderName = L"Veltrane";
// The extractor, below the installer's own directory.
inline constexpr std::wstring_view kExtractorFile = L"lib\\7z.exe";

}  // namespace app
