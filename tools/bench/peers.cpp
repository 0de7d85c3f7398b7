#include "peers.h"

namespace bench {

void MeasurePeerStartup(const std::wstring& exe, const std::wstring& startupArguments,
                        bool hasWindow, Figures& figures) {
  CleanMachine();
  const double start = NowMs();
  auto peer = StartProgram(L"\"" + exe + L"\"" + startupArguments,
                           hasWindow ? Subsystem::Gui : Subsystem::Console);
  if (!peer) {
    figures.failure = "could not be started";
    return;
  }
  if (hasWindow) {
    const HWND window = WaitForShownWindow(*peer, driver::kDefaultTimeout);
    if (window == nullptr || !driver::Settle(window)) {
      figures.failure = "its window did not show";
      return;
    }
    figures.startupMs.Add(NowMs() - start);
    Sleep(200);
    driver::Settle(window);
    figures.idlePrivateBytes = std::max(figures.idlePrivateBytes, PrivateBytes(peer->Handle()));
    return;  // the wizard is ended when `peer` goes away
  }
  if (peer->WaitForExit(kInstallTimeout) != 0UL) {
    figures.failure = "its start-up run failed";
    return;
  }
  figures.startupMs.Add(NowMs() - start);
}

void MeasurePeerInstall(const std::wstring& exe, const std::wstring& installArguments,
                        const std::wstring& installedCheck, Subsystem subsystem, Figures& figures) {
  CleanMachine();
  MemoryPeak peak;
  const double start = NowMs();
  auto peer = StartProgram(L"\"" + exe + L"\"" + installArguments, subsystem);
  if (!peer) {
    figures.failure = "could not be started";
    return;
  }
  const auto exitCode = WaitForExitSampling(*peer, peak, kInstallTimeout);
  const double elapsed = NowMs() - start;
  if (exitCode != 0UL || GetFileAttributesW(installedCheck.c_str()) == INVALID_FILE_ATTRIBUTES) {
    figures.failure = "its silent install failed";
    return;
  }
  figures.installMs.Add(elapsed);
  figures.peakWorkingSet = std::max(figures.peakWorkingSet, peak.workingSet);
  figures.peakPrivateBytes = std::max(figures.peakPrivateBytes, peak.privateBytes);
}

}  // namespace bench
