#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
#include <filesystem>
#include <string>

namespace kalimo::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::string Str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace kalimo::test
