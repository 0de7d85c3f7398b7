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
  wchar_t temporary[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temporary);
  path_ = std::wstring(temporary) + L"veltrane_runtime_" + std::to_wstring(GetCurrentProcessId()) +
          L"_" + std::to_wstring(++created);
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
  SetEnvironmentVariableW(L"TMP", directory_.Path().c_str());
  SetEnvironmentVariableW(L"TEMP", directory_.Path().c_str());
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
  return names.size() == 1 ? ReadWholeFile(std::filesystem::path(LogFolder()) / names.front())
                           : std::string();
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::wstring TestChildPath() {
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  const std::wstring ownPath(own);
  return ownPath.substr(0, ownPath.rfind(L'\\') + 1) + L"runtime_test_child.exe";
}

}  // namespace runtime::testing
