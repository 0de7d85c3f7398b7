#pragma once
// The benchmark's one Markdown table, with each of the installer's targets marked as met or not.

#include "measures.h"

namespace bench {

// Prints the table of one benchmark run of `runs` runs per figure, with the install time per
// unpacked GiB when the payload's unpacked size is known.
void PrintTable(int runs, std::optional<ULONGLONG> unpackedBytes, const Figures& veltrane,
                const Paired& paired, const Figures& nsis, const Figures& sfx);

}  // namespace bench
