#include "runtime/log_format.h"

#include <algorithm>
#include <initializer_list>

namespace runtime {

namespace {

constexpr std::uint64_t kDecimalBase = 10;
constexpr std::size_t kMaxDecimalDigits = 20;  // of 2^64 - 1
constexpr std::size_t kYearDigits = 4, kFieldDigits = 2, kMillisecondDigits = 3, kNoPadding = 1;
constexpr std::string_view kLogExtension = ".log";
// "YYYYMMDD-HHMMSS": the part of a log's name that orders it.
constexpr std::size_t kNameStampLength = 15, kNameDateLength = 8;
// A process id has at most ten decimal digits.
constexpr std::size_t kMaxProcessIdDigits = 10;
constexpr std::string_view kLineEnd = "\r\n";

// Whether the character is an ASCII digit.
[[nodiscard]] bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the text is one or more ASCII digits.
[[nodiscard]] bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// Whether the character ends a line (CR or LF).
[[nodiscard]] bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// The "YYYYMMDD-HHMMSS" of a name RunLogName made for kind; empty for any other name, which is
// not a log of this kind (a user's file, another kind's log) and never deleted.
[[nodiscard]] std::string_view NameStamp(std::string_view kind, std::string_view name) {
  const std::size_t prefix = kind.size() + 1;
  if (name.size() <= prefix + kNameStampLength + 1 + kLogExtension.size() ||
      name.substr(0, kind.size()) != kind || name[kind.size()] != '-' ||
      !name.ends_with(kLogExtension)) {
    return {};
  }
  const std::string_view stamp = name.substr(prefix, kNameStampLength);
  const std::string_view processId =
      name.substr(prefix + kNameStampLength + 1,
                  name.size() - prefix - kNameStampLength - 1 - kLogExtension.size());
  const bool named = AllDigits(stamp.substr(0, kNameDateLength)) && stamp[kNameDateLength] == '-' &&
                     AllDigits(stamp.substr(kNameDateLength + 1)) &&
                     name[prefix + kNameStampLength] == '-' && AllDigits(processId) &&
                     processId.size() <= kMaxProcessIdDigits;
  return named ? stamp : std::string_view{};
}

// One number of a time stamp or name: its digits, at least `width` of them, and the character
// after it (kNone: nothing).
struct Field {
  std::uint32_t value;
  std::size_t width;
  char after;
};
constexpr char kNone = '\0';

// Appends each field's digits and the character after it.
void AppendFields(std::string& text, std::initializer_list<Field> fields) {
  for (const Field& field : fields) {
    AppendDecimal(text, field.value, field.width);
    if (field.after != kNone) text.push_back(field.after);
  }
}

}  // namespace

void AppendDecimal(std::string& text, std::uint64_t number, std::size_t width) {
  char digits[kMaxDecimalDigits];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % kDecimalBase);
    number /= kDecimalBase;
  } while (number != 0);
  if (width > count) text.append(width - count, '0');
  while (count > 0) text.push_back(digits[--count]);
}

std::string DecimalText(std::uint64_t number) {
  std::string text;
  AppendDecimal(text, number);
  return text;
}

std::string RunLogName(std::string_view kind, const LogTime& time, std::uint32_t processId) {
  std::string name(kind);
  name.push_back('-');
  AppendFields(name, {{time.year, kYearDigits, kNone},
                      {time.month, kFieldDigits, kNone},
                      {time.day, kFieldDigits, '-'},
                      {time.hour, kFieldDigits, kNone},
                      {time.minute, kFieldDigits, kNone},
                      {time.second, kFieldDigits, '-'},
                      {processId, kNoPadding, kNone}});
  name.append(kLogExtension);
  return name;
}

std::string StampedLines(const LogTime& time, std::string_view label, std::string_view text) {
  std::string stamp;
  AppendFields(stamp, {{time.year, kYearDigits, '-'},
                       {time.month, kFieldDigits, '-'},
                       {time.day, kFieldDigits, ' '},
                       {time.hour, kFieldDigits, ':'},
                       {time.minute, kFieldDigits, ':'},
                       {time.second, kFieldDigits, '.'},
                       {time.millisecond, kMillisecondDigits, ' '}});
  stamp.append(label);

  std::string lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const auto lineEnd =
        std::find_if(text.begin() + static_cast<std::ptrdiff_t>(begin), text.end(), IsLineBreak);
    const auto end = static_cast<std::size_t>(lineEnd - text.begin());
    if (end > begin) {
      lines.append(stamp).append(text.substr(begin, end - begin)).append(kLineEnd);
    }
    begin = end + 1;
  }
  return lines;
}

std::vector<std::string> RunLogsToDelete(std::string_view kind, std::vector<std::string> names,
                                         std::size_t kept) {
  std::erase_if(names, [kind](const std::string& name) { return NameStamp(kind, name).empty(); });
  // Two runs started within one second are ordered by name, so that the choice is the same
  // whatever order the folder lists them in.
  const auto older = [kind](const std::string& a, const std::string& b) {
    const std::string_view stampA = NameStamp(kind, a), stampB = NameStamp(kind, b);
    return stampA != stampB ? stampA < stampB : a < b;
  };
  // One oldest at a time rather than a sort: the folder holds a handful, and a sort's code would
  // weigh on every exe that keeps a log.
  std::vector<std::string> oldest;
  while (names.size() > kept) {
    const auto next = std::min_element(names.begin(), names.end(), older);
    oldest.push_back(std::move(*next));
    names.erase(next);
  }
  return oldest;
}

}  // namespace runtime
