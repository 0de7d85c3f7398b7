#pragma once
// Real files for the fs tests under Wine: scratch directories, file contents read and written
// with the plain wide calls (independent of the code under test), and a second process.

#include <windows.h>

#include <string>
#include <string_view>

#include "runtime/scoped_handle.h"

namespace fs_test {

// A fresh directory C:\fs_tests\<name>, removed with all its contents at the end.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(std::wstring_view name);
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  ~ScratchDirectory();

  // Wide path of `relative` below the scratch directory ("" for the directory itself).
  [[nodiscard]] std::wstring Wide(std::wstring_view relative = L"") const;
  // The same path as the program's GBK text.
  [[nodiscard]] std::string Gbk(std::wstring_view relative = L"") const;

 private:
  std::wstring root_;
};

[[nodiscard]] bool PathExists(const std::wstring& path);
[[nodiscard]] bool MakeDirectory(const std::wstring& path);
[[nodiscard]] bool WriteBytes(const std::wstring& path, std::string_view bytes);
// The whole file, or "<unreadable>" when it cannot be read.
[[nodiscard]] std::string ReadBytes(const std::wstring& path);

// True when file names with Chinese characters can be created (Wine needs a UTF-8 Linux locale
// of the running language for that).
[[nodiscard]] bool HostStoresChineseNames();

// Directory of the test executable, where its helper programs lie.
[[nodiscard]] std::wstring TestExecutableDirectory();

// Runs fs_test_helper.exe with `arguments` and waits; its exit code, or -1 when it did not run.
[[nodiscard]] int RunHelper(const std::wstring& arguments);

// fs_test_helper.exe holding `file` open without delete sharing until the object goes.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& file);
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  ~HeldFile();

  [[nodiscard]] bool Holding() const { return holding_; }

 private:
  runtime::ScopedHandle ready_;
  runtime::ScopedHandle release_;
  runtime::ScopedHandle process_;
  bool holding_ = false;
};

}  // namespace fs_test
