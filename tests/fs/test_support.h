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

// The fs test helper (or a copy of it at `program`) started with `arguments` and its working
// directory at `workingDirectory` (the test's own when empty), running until the object goes.
// The helper is handed the names of a ready and a release event after the arguments.
class HelperProcess {
 public:
  explicit HelperProcess(const std::wstring& arguments, const std::wstring& program = L"",
                         const std::wstring& workingDirectory = L"");
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;
  ~HelperProcess();

  // True once the helper has done its part and signalled it.
  [[nodiscard]] bool Ready() const { return ready_; }

 private:
  runtime::ScopedHandle readyEvent_;
  runtime::ScopedHandle releaseEvent_;
  runtime::ScopedHandle process_;
  bool ready_ = false;
};

// fs_test_helper.exe holding `file` open without delete sharing until the object goes; with
// `shareDelete`, holding a file or directory open sharing everything, deletion included.
class HeldFile : public HelperProcess {
 public:
  explicit HeldFile(const std::wstring& file, bool shareDelete = false);

  [[nodiscard]] bool Holding() const { return Ready(); }
};

}  // namespace fs_test
