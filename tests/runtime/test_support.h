#pragma once
// Shared pieces of the runtime's tests under Wine.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace runtime::testing {

// A fresh empty directory below the temporary folder, removed with its contents at the end.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  ~TemporaryDirectory();

  // The directory's path, without a trailing backslash.
  [[nodiscard]] const std::wstring& Path() const { return path_; }
  // The path of a name inside the directory.
  [[nodiscard]] std::wstring Inside(std::wstring_view name) const {
    return path_ + L"\\" + std::wstring(name);
  }

 private:
  std::wstring path_;
};

// The temporary folder (TMP and TEMP) moved to a fresh directory for its lifetime, where a run's
// log goes; the log is closed and the folder moved back at the end.
class RedirectedTemporaryFolder {
 public:
  RedirectedTemporaryFolder();
  RedirectedTemporaryFolder(const RedirectedTemporaryFolder&) = delete;
  RedirectedTemporaryFolder& operator=(const RedirectedTemporaryFolder&) = delete;
  ~RedirectedTemporaryFolder();

  [[nodiscard]] const TemporaryDirectory& Directory() const { return directory_; }
  // The log folder's path.
  [[nodiscard]] std::wstring LogFolder() const { return directory_.Inside(L"Veltrane"); }
  // The names in the log folder, sorted.
  [[nodiscard]] std::vector<std::string> LogNames() const;
  // The content of the only file in the log folder; empty when there is not exactly one.
  [[nodiscard]] std::string OnlyLog() const;

 private:
  TemporaryDirectory directory_;
  std::wstring tmp_, temp_;
};

// The whole content of a file, or empty when it cannot be read.
[[nodiscard]] std::string ReadWholeFile(const std::filesystem::path& path);

// The path of the test helper program that lies beside the test program.
[[nodiscard]] std::wstring TestChildPath();

}  // namespace runtime::testing
