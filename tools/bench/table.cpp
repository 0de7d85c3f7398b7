#include "table.h"

#include <tuple>

namespace bench {

namespace {

constexpr SIZE_T kPrivateBytesAllowance = 4 * 1024 * 1024;
// Everything the exe carries besides the payload, the uninstaller included.
constexpr ULONGLONG kSizeOverheadLimit = 160 * 1024;
constexpr double kNsisRatioTarget = 0.6;
constexpr double kSfxRatioTarget = 0.92;
// The installer's own time at the product's size, outside the archive's write and the extractor.
constexpr double kOwnTimeLimitMs = 30;
constexpr double kBytesPerGibibyte = 1024.0 * 1024.0 * 1024.0;

std::string Mebibytes(std::optional<ULONGLONG> bytes) {
  if (!bytes || *bytes == 0) return "n/a";
  char text[48];
  std::snprintf(text, sizeof(text), "%.2f MiB", static_cast<double>(*bytes) / (1024.0 * 1024.0));
  return text;
}

std::string Bytes(std::optional<ULONGLONG> bytes) {
  if (!bytes) return "n/a";
  // Thousands separated, as the installer's documentation writes sizes.
  const std::string digits = std::to_string(*bytes);
  std::string grouped;
  for (size_t index = 0; index < digits.size(); ++index) {
    if (index > 0 && (digits.size() - index) % 3 == 0) grouped += ',';
    grouped += digits[index];
  }
  return grouped;
}

std::optional<ULONGLONG> SizeOverhead(const Figures& figures) {
  if (!figures.exeSize || !figures.payloadSize || *figures.payloadSize > *figures.exeSize) {
    return std::nullopt;
  }
  return *figures.exeSize - *figures.payloadSize;
}

std::string Verdict(bool met) { return met ? "**met**" : "**not met**"; }

}  // namespace

void PrintTable(int runs, std::optional<ULONGLONG> unpackedBytes, const Figures& veltrane,
                const Paired& paired, const Figures& nsis, const Figures& sfx) {
  const Series& extractorMs = paired.extractorMs;
  const Series& launchCostMs = paired.launchCostMs;
  const auto cell = [](const Figures& figures, const std::string& value) {
    return figures.failure.empty() ? value : "failed: " + figures.failure;
  };
  const auto row = [&](const std::string& name, const std::string& a, const std::string& b,
                       const std::string& c) {
    Say("| " + name + " | " + a + " | " + b + " | " + c + " |");
  };
  char text[160];

  Say("Runs per figure: " + std::to_string(runs) + "; times in ms as median (min–max).");
  Say("");
  row("", "Veltrane installer", "NSIS (solid LZMA, /S)", "7-Zip SFX (7zCon.sfx, -y -o)");
  Say("|---|---|---|---|");
  row("install time (ms)", cell(veltrane, veltrane.installMs.Describe("n/a")),
      cell(nsis, nsis.installMs.Describe("n/a")), cell(sfx, sfx.installMs.Describe("n/a")));
  row("extractor alone, same archive and command line (ms)", extractorMs.Describe("failed"), "–",
      "–");
  if (!veltrane.installMs.Empty() && !extractorMs.Empty()) {
    const double overhead = veltrane.installMs.Median() - extractorMs.Median();
    std::snprintf(text, sizeof(text), "%.0f ms = %.1f %% of the install time", overhead,
                  100.0 * overhead / veltrane.installMs.Median());
    row("installer's own overhead (medians)", text, "–", "–");
  } else {
    row("installer's own overhead (medians)", "n/a", "–", "–");
  }
  row("install − extractor of the same run (ms)", paired.overheadMs.Describe("n/a"), "–", "–");
  row("of the install: click to Unpacking look, archive written (ms)",
      veltrane.writingMs.Describe("n/a"), "–", "–");
  row("of the install: its extractor child's life, creation to exit (ms)",
      veltrane.childExtractorMs.Describe("n/a"), "–", "–");
  row("of the install: outside its extractor child's life (ms)",
      veltrane.ownOverheadMs.Describe("n/a"), "–", "–");
  row("bare extractor: starting and awaiting it, outside its own life (ms)",
      launchCostMs.Describe("n/a"), "–", "–");
  // What the installer adds to running the extractor: its time outside the child's life, less
  // what starting and awaiting the same console program costs anyone.
  std::optional<double> ownShare;
  if (!veltrane.ownOverheadMs.Empty() && !launchCostMs.Empty()) {
    const double own = veltrane.ownOverheadMs.Median() - launchCostMs.Median();
    ownShare = 100.0 * own / veltrane.installMs.Median();
    std::snprintf(text, sizeof(text), "%.0f ms = %.1f %% of the install time", own, *ownShare);
    row("installer's own overhead (outside the child's life, less the bare launch cost)", text, "–",
        "–");
  }
  row("of the install: the archive's write, as its run log times it (ms)",
      veltrane.archiveWriteMs.Describe("n/a"), "–", "–");
  // The design's floor is the archive's write and the extractor: what lies outside both.
  std::optional<double> ownBesideWrite;
  if (!veltrane.ownBesideWriteMs.Empty() && !launchCostMs.Empty()) {
    ownBesideWrite = veltrane.ownBesideWriteMs.Median() - launchCostMs.Median();
    std::snprintf(text, sizeof(text), "%.0f ms", *ownBesideWrite);
    row("installer's own time outside the archive's write and the child's life, less the bare "
        "launch cost",
        text, "–", "–");
  }
  for (const auto& [ratio, peer, nsisCell, sfxCell] :
       {std::tuple{&paired.ratioToSfx, "the SFX's", "–", "1"},
        std::tuple{&paired.ratioToNsis, "NSIS's", "1", "–"}}) {
    if (ratio->Empty()) continue;
    std::snprintf(text, sizeof(text), "%.3f (%.3f–%.3f)", ratio->Median(), ratio->Min(),
                  ratio->Max());
    row(std::string("install time ÷ ") + peer + " of the same run", text, nsisCell, sfxCell);
  }
  if (unpackedBytes && *unpackedBytes > 0 && !veltrane.installMs.Empty()) {
    std::snprintf(text, sizeof(text), "%.2f",
                  veltrane.installMs.Median() / 1000.0 /
                      (static_cast<double>(*unpackedBytes) / kBytesPerGibibyte));
    row("install time per unpacked GiB (s), median", text, "–", "–");
  }
  row("start-up latency (ms)", cell(veltrane, veltrane.startupMs.Describe("n/a")),
      cell(nsis, nsis.startupMs.Describe("n/a") + " to its wizard"),
      cell(sfx, sfx.startupMs.Describe("n/a") + " to opening its archive (no window)"));
  row("exe size (bytes)", Bytes(veltrane.exeSize), Bytes(nsis.exeSize), Bytes(sfx.exeSize));
  row("payload carried (bytes)", Bytes(veltrane.payloadSize), Bytes(nsis.payloadSize),
      Bytes(sfx.payloadSize));
  row("size overhead = exe − payload (bytes)", Bytes(SizeOverhead(veltrane)),
      Bytes(SizeOverhead(nsis)), Bytes(SizeOverhead(sfx)));
  row("peak working set", Mebibytes(veltrane.peakWorkingSet), Mebibytes(nsis.peakWorkingSet),
      Mebibytes(sfx.peakWorkingSet));
  row("peak private bytes", Mebibytes(veltrane.peakPrivateBytes), Mebibytes(nsis.peakPrivateBytes),
      Mebibytes(sfx.peakPrivateBytes));
  row("idle private bytes (window shown)", Mebibytes(veltrane.idlePrivateBytes),
      Mebibytes(nsis.idlePrivateBytes), "no window");
  row("peak private bytes above idle", Mebibytes(veltrane.privateAboveIdle), "–", "–");
  row("payload archive size", Mebibytes(veltrane.payloadSize), "", "");

  Say("");
  Say("Targets of the Veltrane installer:");
  // Judged pair by pair: the machine's load drifts over a run, and each pair shares its moment.
  Say("- install time at most 0.92 of the 7-Zip SFX's (median of the per-run ratio): " +
      (paired.ratioToSfx.Empty() ? "**not measured**"
                                 : Verdict(paired.ratioToSfx.Median() <= kSfxRatioTarget)));
  if (!paired.ratioToNsis.Empty()) {
    Say("- install time at most 0.6 of NSIS's (median of the per-run ratio): " +
        Verdict(paired.ratioToNsis.Median() <= kNsisRatioTarget));
  }
  std::snprintf(text, sizeof(text),
                "- own time outside the archive's write and the extractor's life at most %.0f ms: ",
                kOwnTimeLimitMs);
  Say(text + (ownBesideWrite ? Verdict(*ownBesideWrite <= kOwnTimeLimitMs) : "**not measured**"));
  const auto ownOverhead = SizeOverhead(veltrane);
  std::snprintf(text, sizeof(text), "- size overhead at most %llu bytes: ", kSizeOverheadLimit);
  Say(text + (ownOverhead ? Verdict(*ownOverhead <= kSizeOverheadLimit) : "**not measured**"));
  Say("- idle private bytes no more than NSIS's: " +
      (veltrane.failure.empty() && nsis.failure.empty()
           ? Verdict(veltrane.idlePrivateBytes <= nsis.idlePrivateBytes)
           : "**not measured**"));
  Say("- peak private bytes at most 4 MiB above the idle process: " +
      (veltrane.failure.empty() ? Verdict(veltrane.privateAboveIdle <= kPrivateBytesAllowance)
                                : "**not measured**"));
  const bool startupKnown =
      !veltrane.startupMs.Empty() && !nsis.startupMs.Empty() && !sfx.startupMs.Empty();
  Say("- start-up latency no worse than either peer's: " +
      (startupKnown ? Verdict(veltrane.startupMs.Median() <= nsis.startupMs.Median() &&
                              veltrane.startupMs.Median() <= sfx.startupMs.Median())
                    : "**not measured**"));
}

}  // namespace bench
