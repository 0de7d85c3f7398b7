#include "test_support.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/run_log.h"

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

namespace {

// The environment variable's value; empty when it is not set.
std::wstring EnvironmentVariable(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  GetEnvironmentVariableW(name, value, MAX_PATH);
  return value;
}

}  // namespace

RedirectedTemporaryFolder::RedirectedTemporaryFolder()
    : tmp_(EnvironmentVariable(L"TMP")), temp_(EnvironmentVariable(L"TEMP")) {
  const std::wstring path = std::filesystem::path(directory_.Path()).wstring();
  SetEnvironmentVariableW(L"TMP", path.c_str());
  SetEnvironmentVariableW(L"TEMP", path.c_str());
}

RedirectedTemporaryFolder::~RedirectedTemporaryFolder() {
  CloseRunLog(0);
  SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
  SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
}

std::vector<std::string> RedirectedTemporaryFolder::LogNames() const {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(LogFolder(), ignored)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RedirectedTemporaryFolder::OnlyLog() const {
  const std::vector<std::string> names = LogNames();
  return names.size() == 1 ? ReadWholeFile(LogFolder() + "\\" + names.front()) : std::string();
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
