#pragma once
// A position in a media file, or a length, in the 100-nanosecond units that the players, the
// bookmarks and the camera's time stamps count in.
#include <chrono>
#include <cstdint>

namespace kalimo {

using MediaTime = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;

}  // namespace kalimo
