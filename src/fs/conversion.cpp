#include "fs/conversion.h"

#include "fs/path_text.h"
#include "runtime/gbk.h"

namespace fs {

std::wstring GbkToWide(std::string_view gbk) {
  return runtime::GbkToUtf16(gbk.substr(0, gbk.find('\0')));
}

std::string WideToGbk(std::wstring_view wide) { return runtime::Utf16ToGbk(CutAtNul(wide)); }

}  // namespace fs
