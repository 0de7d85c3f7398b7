// Times taking a large installation away, as a user meets it: the reinstall question's OK, the
// click on 开始安装 over an old brisel folder, and the uninstaller's OK, each on an installation of
// the given number of files, with the longest the window took to answer meanwhile. (Wine counts no
// handles per process: scripts/measure_removal.sh samples the Wine server's descriptors instead.)
// With --installs it times clean installations instead, the click to the Done look, with the
// longest answer and the local time it was asked at, to be found in the installer's log.
//
// removal_bench.exe --dist DIR --files N --bytes B
// removal_bench.exe --dist DIR --installs N
//   DIR holds VeltraneSetup.exe and lib\7z.exe (the real extractor); the installation made gets N
//   files more in brisel\, B bytes in all (sparse where the file system makes them so).
#include <shlobj.h>

#include <map>

#include "measures.h"
#include "ui/controls.h"

namespace bench {
namespace {

constexpr int kFilesPerFolder = 100;
constexpr wchar_t kProgramFolder[] = L"C:\\Quorvale\\brisel";
constexpr DWORD kAnswerPoll = 20;

HWND ControlOf(HWND window, ui::Control id) {
  return driver::Control(window, static_cast<int>(id));
}

// Adds `files` files of `bytes` bytes in all to brisel\assets, a hundred to a folder.
bool AddAssets(int files, ULONGLONG bytes) {
  const std::wstring assets = std::wstring(kProgramFolder) + L"\\assets";
  for (const std::wstring& level :
       {std::wstring(L"C:\\Quorvale"), std::wstring(kProgramFolder), assets}) {
    CreateDirectoryW(level.c_str(), nullptr);
  }
  for (int index = 0; index < files; ++index) {
    const std::wstring folder = assets + L"\\" + std::to_wstring(index / kFilesPerFolder);
    if (index % kFilesPerFolder == 0) CreateDirectoryW(folder.c_str(), nullptr);
    const runtime::ScopedHandle file(
        CreateFileW((folder + L"\\" + std::to_wstring(index) + L".pak").c_str(), GENERIC_WRITE, 0,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    size.QuadPart = static_cast<LONGLONG>(bytes / static_cast<ULONGLONG>(files));
    if (!file.Valid() || !SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(file.Get())) {
      return false;
    }
  }
  return true;
}

struct Watch {
  double elapsedMs = 0;
  DWORD slowestAnswerMs = 0;
  SYSTEMTIME slowestAskedAt{};  // local time, as the run logs stamp their lines
};

// From now until `ended` holds: the time, and the longest `window` (once it exists) took to
// answer. Each answer is timed from before `ended` is asked: under Wine that question waits on the
// session's server as the answer does, and would otherwise hide part of a hold of the server.
template <typename Ended>
std::optional<Watch> WatchUntil(const HWND& window, Ended ended) {
  Watch watch;
  const double start = NowMs();
  for (;;) {
    SYSTEMTIME askedAt{};
    GetLocalTime(&askedAt);
    const DWORD asked = GetTickCount();
    if (ended()) break;
    if (NowMs() - start > kInstallTimeout) return std::nullopt;
    if (window != nullptr && IsWindow(window) && !driver::Settle(window, kInstallTimeout)) {
      return std::nullopt;
    }
    if (GetTickCount() - asked > watch.slowestAnswerMs) {
      watch.slowestAnswerMs = GetTickCount() - asked;
      watch.slowestAskedAt = askedAt;
    }
    Sleep(kAnswerPoll);
  }
  watch.elapsedMs = NowMs() - start;
  return watch;
}

void Report(const char* what, const std::optional<Watch>& watch) {
  if (!watch) {
    Say(std::string(what) + ": did not finish");
    return;
  }
  const SYSTEMTIME& at = watch->slowestAskedAt;
  char asked[16];
  std::snprintf(asked, sizeof asked, "%02u:%02u:%02u.%03u", at.wHour, at.wMinute, at.wSecond,
                at.wMilliseconds);
  Say(std::string(what) + ": " + std::to_string(static_cast<int>(watch->elapsedMs)) +
      " ms, window answered within " + std::to_string(watch->slowestAnswerMs) +
      " ms (the slowest asked at " + asked + ")");
}

// Installs the sample with the installer and leaves it in its Done look, ended.
bool InstallSample(const std::wstring& dist) {
  auto installer = driver::Start(L"\"" + dist + L"\\VeltraneSetup.exe\"", dist);
  if (!installer) return false;
  const HWND window = driver::WaitForWindow(installer->Id(), L"Veltrane installer");
  if (window == nullptr || !driver::Settle(window)) return false;
  driver::Click(ControlOf(window, ui::Control::按钮_安装));
  const HWND finish = ControlOf(window, ui::Control::按钮_安装完成);
  const double start = NowMs();
  while (!driver::IsVisible(finish)) {
    if (NowMs() - start > kInstallTimeout) return false;
    Sleep(kAnswerPoll);
  }
  return true;  // the owner ends it
}

std::optional<Watch> ReinstallRemoval(const std::wstring& dist) {
  auto installer = driver::Start(L"\"" + dist + L"\\VeltraneSetup.exe\"", dist);
  if (!installer) return std::nullopt;
  const HWND window = driver::WaitForWindow(installer->Id(), L"Veltrane installer");
  const auto question = driver::WaitForMessageBox(installer->Id());
  if (window == nullptr || !question) return std::nullopt;
  driver::PressButton(*question, IDOK);
  const HWND bar = ControlOf(window, ui::Control::进度条_解压);
  return WatchUntil(window, [&] {
    return !IsWindow(question->window) && !driver::IsVisible(bar) &&
           GetFileAttributesW(kProgramFolder) == INVALID_FILE_ATTRIBUTES;
  });
}

// Clicks 开始安装 in a new installer and watches until the Done look.
std::optional<Watch> ClickToDone(const std::wstring& dist) {
  auto installer = driver::Start(L"\"" + dist + L"\\VeltraneSetup.exe\"", dist);
  if (!installer) return std::nullopt;
  const HWND window = driver::WaitForWindow(installer->Id(), L"Veltrane installer");
  if (window == nullptr || !driver::Settle(window)) return std::nullopt;
  driver::Click(ControlOf(window, ui::Control::按钮_安装));
  const HWND finish = ControlOf(window, ui::Control::按钮_安装完成);
  return WatchUntil(window, [&] { return driver::IsVisible(finish); });
}

std::optional<Watch> Uninstall() {
  wchar_t programFiles[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILESX86, nullptr, SHGFP_TYPE_CURRENT, programFiles);
  auto uninstaller = driver::Start(
      std::wstring(L"\"") + programFiles + L"\\Veltrane\\brisel\\uninstall.exe\"", L"C:\\");
  if (!uninstaller) return std::nullopt;
  const auto question = driver::WaitForMessageBox(uninstaller->Id());
  if (!question) return std::nullopt;
  driver::PressButton(*question, IDOK);
  HWND progress = nullptr;
  double shownMs = 0;
  const double start = NowMs();
  std::optional<driver::MessageBoxInfo> done;
  auto watch = WatchUntil(progress, [&] {
    if (progress == nullptr) {
      progress = driver::FindShownWindow(uninstaller->Id());
      if (progress != nullptr && progress != question->window)
        shownMs = NowMs() - start;
      else
        progress = nullptr;
    }
    done = driver::WaitForMessageBox(uninstaller->Id(), 0);
    return done && done->window != question->window;
  });
  if (done) driver::PressButton(*done, IDOK);
  Say("uninstaller's window shown " + std::to_string(static_cast<int>(shownMs)) + " ms after OK");
  return watch;
}

}  // namespace
}  // namespace bench

int wmain(int argc, wchar_t** argv) {
  using namespace bench;
  std::map<std::wstring, std::wstring> values;
  for (int index = 1; index + 1 < argc; index += 2) values[argv[index]] = argv[index + 1];
  const std::wstring dist = WindowsPath(values[L"--dist"]);
  const int files = _wtoi(values[L"--files"].c_str());
  const ULONGLONG bytes = _wtoi64(values[L"--bytes"].c_str());
  const int installs = _wtoi(values[L"--installs"].c_str());
  if (dist.empty() || (files < 1 && installs < 1)) {
    Say("usage: removal_bench.exe --dist DIR (--files N --bytes B | --installs N)");
    return 2;
  }
  if (installs > 0) {
    for (int run = 0; run < installs; ++run) {
      CleanMachine();
      Report("click to the Done look", ClickToDone(dist));
    }
    CleanMachine();
    return 0;
  }
  CleanMachine();
  if (!InstallSample(dist) || !AddAssets(files, bytes)) {
    Say("could not lay out the installation");
    return 1;
  }
  Report("reinstall question's OK to the old folder gone", ReinstallRemoval(dist));
  if (!AddAssets(files, bytes)) return 1;
  Report("click over an old folder to the Done look", ClickToDone(dist));
  if (!AddAssets(files, bytes)) return 1;
  Report("uninstaller's OK to its closing message", Uninstall());
  CleanMachine();
  return 0;
}
