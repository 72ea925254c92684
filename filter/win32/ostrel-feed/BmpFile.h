#pragma once
// Uncompressed 24-bit BMP files, as ostrel-feed reads them: the pixels come out as the frame
// section carries them (bottom-up rows, each padded to a multiple of 4 bytes).
#include <cstdint>
#include <string>
#include <vector>

namespace kalimo::feed {

struct DibPicture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> bits;  // DibStride(width) * height bytes, bottom row first
};

// Reads `path` (UTF-8). On failure returns false with a sentence for the user in `error`: a file
// that cannot be read, is not a BMP, is not 24-bit uncompressed, is truncated, or is too large
// for the frame section.
bool ReadBmpFile(const std::string& path, DibPicture& picture, std::string& error);

// Writes `picture` as a bottom-up 24-bit BMP file.
bool WriteBmpFile(const std::string& path, const DibPicture& picture);

}  // namespace kalimo::feed
