#pragma once
// The texts an installation derives from its install root R, by plain concatenation: the
// archive, folder and check texts begin with a backslash of their own, so with the usual root they
// hold two backslashes in a row (C:\Quorvale\\brisel.7z), which the file functions read as one.

#include <string>
#include <string_view>

namespace app {

struct InstallTexts {
  std::wstring oldFolder;          // R + "\brisel": removed before writing
  std::wstring archivePath;        // R + "\brisel.7z": the payload archive, the extractor's input
  std::wstring startProgramCheck;  // R + "\brisel\startup.exe": tested, then kept for the finish
  std::wstring mainProgramPath;    // R + "brisel\brisel.exe": registry briselPath, path.dat
  std::wstring startProgramPath;   // R + "brisel\startup.exe": registry stratPath, path.dat
  std::wstring legacyUninstallerPath;  // R + "uninstall.exe": where installers before put it
};

[[nodiscard]] InstallTexts DeriveInstallTexts(std::wstring_view root);

// A root the user typed without a trailing backslash gets one, so that the derived paths keep
// their separator. An empty root stays empty.
[[nodiscard]] std::wstring WithTrailingBackslash(std::wstring_view root);

// The extractor's command line: D + "\lib\7z.exe x " + R + "\brisel.7z -o" + R + " -aoa", where
// D is the installer's own directory. A part holding a blank or a tab is wrapped in double quotes
// (the output switch as "-o<dir>"), so that such paths stay one argument each; 7-Zip reads quotes
// as a plain toggle, so a trailing backslash inside them is safe.
[[nodiscard]] std::wstring ExtractorCommandLine(std::wstring_view ownDirectory,
                                                std::wstring_view root);

}  // namespace app
