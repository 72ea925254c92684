#pragma once
// Reading and writing a test file's exact bytes.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kalimo::test {

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
}

}  // namespace kalimo::test
