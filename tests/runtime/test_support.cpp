#include "test_support.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace runtime::testing {

TemporaryDirectory::TemporaryDirectory() {
  static int created = 0;
  char temporary[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temporary);
  path_ = std::string(temporary) + "veltrane_runtime_" + std::to_string(GetCurrentProcessId()) +
          "_" + std::to_string(++created);
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  std::filesystem::create_directories(path_, ignored);
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::string TestChildPath() {
  char own[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own, MAX_PATH);
  const std::string ownPath(own);
  return ownPath.substr(0, ownPath.rfind('\\') + 1) + "runtime_test_child.exe";
}

}  // namespace runtime::testing
