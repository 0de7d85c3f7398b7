#pragma once
// The benchmark's one Markdown table, with each of the installer's targets marked as met or not.

#include "measures.h"

namespace bench {

// Prints the table of one benchmark run of `runs` runs per figure.
void PrintTable(int runs, const Figures& veltrane, const Series& extractorMs,
                const Series& pairedOverheadMs, const Series& launchCostMs,
                const Series& ratioToSfx, const Figures& nsis, const Figures& sfx);

}  // namespace bench
