// Measures the installer against two peer installers on the same payload, in one run, and prints
// one Markdown table: install time next to the bare extractor, start-up latency, size overhead and
// memory, with each of the installer's targets marked as met or not.
//
// bench.exe --dist DIR --archive FILE --nsis EXE --nsis-data BYTES --sfx EXE [--runs N]
//   DIR holds VeltraneSetup.exe and lib\7z.exe; FILE is the archive the installer embeds; EXE of
//   --nsis is an NSIS installer (installs silently with /S) whose compressed data is BYTES long;
//   EXE of --sfx is 7-Zip's console self-extractor with FILE appended. Paths may use '/'.
#include <map>

#include "measures.h"
#include "peers.h"
#include "table.h"
#include "ui/controls.h"

namespace bench {
namespace {

struct Options {
  std::wstring dist;
  std::wstring archive;
  std::wstring nsis;
  std::wstring sfx;
  std::optional<ULONGLONG> nsisDataBytes;
  std::optional<ULONGLONG> unpackedBytes;  // the payload's files once unpacked
  bool extractorAlone = true;
  int runs = 7;
};

[[nodiscard]] std::optional<Options> ParseOptions(int argc, wchar_t** argv) {
  std::map<std::wstring, std::wstring> values;
  for (int index = 1; index + 1 < argc; index += 2) values[argv[index]] = argv[index + 1];
  if (argc % 2 == 0) return std::nullopt;
  Options options;
  options.dist = WindowsPath(values[L"--dist"]);
  options.archive = WindowsPath(values[L"--archive"]);
  options.nsis = WindowsPath(values[L"--nsis"]);
  options.sfx = WindowsPath(values[L"--sfx"]);
  if (values.contains(L"--nsis-data"))
    options.nsisDataBytes = _wtoi64(values[L"--nsis-data"].c_str());
  if (values.contains(L"--unpacked"))
    options.unpackedBytes = _wtoi64(values[L"--unpacked"].c_str());
  if (values.contains(L"--extractor-alone"))
    options.extractorAlone = _wtoi(values[L"--extractor-alone"].c_str()) != 0;
  if (values.contains(L"--runs")) options.runs = _wtoi(values[L"--runs"].c_str());
  if (options.dist.empty() || options.archive.empty() || options.runs < 1) return std::nullopt;
  return options;
}

struct ExtractorRun {
  double elapsedMs = 0;   // from before starting it to having seen it end
  double lifetimeMs = 0;  // the process's own life, creation to exit
};

// Copies the archive into an empty install root and times the extractor on it with the very
// command line the installer runs.
[[nodiscard]] std::optional<ExtractorRun> TimeExtractorAlone(const Options& options) {
  CleanMachine();
  const std::wstring root = kInstallRoot;
  if (!CreateDirectoryW(root.c_str(), nullptr)) return std::nullopt;
  if (!CopyFileW(options.archive.c_str(), (root + L"\\brisel.7z").c_str(), FALSE)) {
    return std::nullopt;
  }
  const std::wstring commandLine =
      options.dist + L"\\lib\\7z.exe x " + root + L"\\brisel.7z -o" + root + L" -aoa";
  const double start = NowMs();
  auto extractor = StartProgram(commandLine, Subsystem::WindowlessConsole);
  if (!extractor || !extractor->WaitForExit(kInstallTimeout)) return std::nullopt;
  const double elapsed = NowMs() - start;
  const auto lifetime = Lifetime(extractor->Handle());
  if (!lifetime) return std::nullopt;
  return ExtractorRun{elapsed, *lifetime};
}

// Starts the installer on a clean machine and waits until its window shows with the start-up
// check done; the milliseconds that took, or nothing.
[[nodiscard]] std::optional<double> LaunchInstaller(const Options& options,
                                                    driver::Process& installer, HWND& window) {
  CleanMachine();
  const double start = NowMs();
  auto started = StartProgram(L"\"" + options.dist + L"\\VeltraneSetup.exe\"", Subsystem::Gui);
  if (!started) return std::nullopt;
  installer = std::move(*started);
  window = WaitForShownWindow(installer, driver::kDefaultTimeout);
  if (window == nullptr || !driver::Settle(window)) return std::nullopt;
  return NowMs() - start;
}

// One install with the installer: start-up, idle memory, then click to Done look.
void MeasureInstallerRun(const Options& options, Figures& figures) {
  driver::Process installer;
  HWND window = nullptr;
  const auto startup = LaunchInstaller(options, installer, window);
  if (!startup) {
    figures.failure = "the installer's window did not show";
    return;
  }
  figures.startupMs.Add(*startup);
  Sleep(200);  // let the freshly shown window finish its first paints before reading idle memory
  driver::Settle(window);
  const SIZE_T idle = PrivateBytes(installer.Handle());
  const HWND finish = driver::Control(window, static_cast<int>(ui::Control::按钮_安装完成));
  const HWND unpacking = driver::Control(window, static_cast<int>(ui::Control::标签_正在解压));
  MemoryPeak peak;
  std::optional<double> unpackingSeenMs;
  runtime::ScopedHandle extractor;
  const double start = NowMs();
  driver::Click(driver::Control(window, static_cast<int>(ui::Control::按钮_安装)));
  const bool done = PollWhileSampling(
      [&] {
        if (!unpackingSeenMs && driver::IsVisible(unpacking)) unpackingSeenMs = NowMs() - start;
        if (unpackingSeenMs && !extractor.Valid()) {
          extractor = OpenChildProcess(installer.Id(), L"7z.exe");
        }
        return driver::IsVisible(finish);
      },
      installer.Handle(), peak, kInstallTimeout);
  const double elapsed = NowMs() - start;
  if (!done) {
    figures.failure = "the installer did not reach its Done look";
    return;
  }
  figures.installMs.Add(elapsed);
  if (unpackingSeenMs) figures.writingMs.Add(*unpackingSeenMs);
  if (const auto extracting = extractor.Valid() ? Lifetime(extractor.Get()) : std::nullopt) {
    figures.childExtractorMs.Add(*extracting);
    figures.ownOverheadMs.Add(elapsed - *extracting);
    if (const auto writing = LoggedStepMs("archive write ")) {
      figures.archiveWriteMs.Add(*writing);
      figures.ownBesideWriteMs.Add(elapsed - *extracting - *writing);
    }
  }
  figures.peakWorkingSet = std::max(figures.peakWorkingSet, peak.workingSet);
  figures.peakPrivateBytes = std::max(figures.peakPrivateBytes, peak.privateBytes);
  figures.idlePrivateBytes = std::max(figures.idlePrivateBytes, idle);
  figures.privateAboveIdle =
      std::max(figures.privateAboveIdle, peak.privateBytes > idle ? peak.privateBytes - idle : 0);
}

}  // namespace
}  // namespace bench

int wmain(int argc, wchar_t** argv) {
  using namespace bench;
  const auto options = ParseOptions(argc, argv);
  if (!options) {
    Say("usage: bench.exe --dist DIR --archive FILE --nsis EXE --nsis-data BYTES --sfx EXE "
        "[--unpacked BYTES] [--extractor-alone 0|1] [--runs N]");
    return 2;
  }
  Figures veltrane;
  Figures nsis;
  Figures sfx;
  Paired paired;
  veltrane.exeSize = FileSize(options->dist + L"\\VeltraneSetup.exe");
  veltrane.payloadSize = FileSize(options->archive);
  nsis.exeSize = FileSize(options->nsis);
  nsis.payloadSize = options->nsisDataBytes;
  sfx.exeSize = FileSize(options->sfx);
  sfx.payloadSize = veltrane.payloadSize;
  if (!nsis.exeSize) nsis.failure = "not built";
  if (!sfx.exeSize) sfx.failure = "not built";

  // Interleaved, so that a slow phase of the machine touches every series alike.
  for (int run = 0; run < options->runs; ++run) {
    std::fprintf(stderr, "run %d of %d\n", run + 1, options->runs);
    const size_t installsBefore = veltrane.installMs.Count();
    if (veltrane.failure.empty()) MeasureInstallerRun(*options, veltrane);
    const bool installed = veltrane.installMs.Count() > installsBefore;
    if (const auto alone = options->extractorAlone ? TimeExtractorAlone(*options) : std::nullopt) {
      paired.extractorMs.Add(alone->elapsedMs);
      paired.launchCostMs.Add(alone->elapsedMs - alone->lifetimeMs);
      if (installed) paired.overheadMs.Add(veltrane.installMs.Last() - alone->elapsedMs);
    }
    if (nsis.failure.empty()) {
      const size_t nsisInstallsBefore = nsis.installMs.Count();
      MeasurePeerInstall(options->nsis, L" /S", std::wstring(kNsisRoot) + L"\\brisel\\startup.exe",
                         Subsystem::Gui, nsis);
      if (installed && nsis.installMs.Count() > nsisInstallsBefore) {
        paired.ratioToNsis.Add(veltrane.installMs.Last() / nsis.installMs.Last());
      }
      MeasurePeerStartup(options->nsis, L"", true, nsis);
    }
    if (sfx.failure.empty()) {
      const size_t sfxInstallsBefore = sfx.installMs.Count();
      MeasurePeerInstall(options->sfx, std::wstring(L" -y -o") + kSfxRoot,
                         std::wstring(kSfxRoot) + L"brisel\\startup.exe", Subsystem::Console, sfx);
      if (installed && sfx.installMs.Count() > sfxInstallsBefore) {
        paired.ratioToSfx.Add(veltrane.installMs.Last() / sfx.installMs.Last());
      }
      MeasurePeerStartup(options->sfx, std::wstring(L" x -y -o") + kSfxRoot + L" no-such-entry",
                         false, sfx);
    }
  }
  CleanMachine();
  PrintTable(options->runs, options->unpackedBytes, veltrane, paired, nsis, sfx);
  return veltrane.failure.empty() ? 0 : 1;
}
