#pragma once
// The peer installers of the benchmark: an NSIS installer and 7-Zip's console self-extractor,
// started, timed and sampled the way their users run them.

#include <string>

#include "measures.h"

namespace bench {

// A peer's start-up: to its first visible window (the NSIS wizard), or, for a program without
// a window, to its exit after `startupArguments` (7-Zip's self-extractor opening its archive and
// finding nothing to extract).
void MeasurePeerStartup(const std::wstring& exe, const std::wstring& startupArguments,
                        bool hasWindow, Figures& figures);

// A peer's silent install, timed from its start to its exit.
void MeasurePeerInstall(const std::wstring& exe, const std::wstring& installArguments,
                        const std::wstring& installedCheck, Subsystem subsystem, Figures& figures);

}  // namespace bench
