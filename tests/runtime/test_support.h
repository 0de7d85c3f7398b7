#pragma once
// Shared pieces of the runtime's tests under Wine.

#include <string>

namespace runtime::testing {

// A fresh empty directory below the temporary folder, removed with its contents at the end.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  ~TemporaryDirectory();

  // The directory's path, without a trailing backslash.
  [[nodiscard]] const std::string& Path() const { return path_; }
  // The path of a name inside the directory.
  [[nodiscard]] std::string Inside(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// The whole content of a file, or empty when it cannot be read.
[[nodiscard]] std::string ReadWholeFile(const std::string& path);

// The path of the test helper program that lies beside the test program.
[[nodiscard]] std::string TestChildPath();

}  // namespace runtime::testing
