#pragma once
// The installer's version and publisher: its version resource shows them, and the Apps entry of an
// installation repeats them. Plain macros, so that the resource compiler reads them too.

#define VELTRANE_VERSION_NUMBERS 1, 0, 0, 0
#define VELTRANE_VERSION_TEXT "1.0.0.0"
#define VELTRANE_PUBLISHER "Veltrane"
