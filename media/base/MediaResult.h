#pragma once
// Result codes of the media sources. They keep the values the callers test for: 0 is success,
// 1 means "nothing was done" (no camera at that position), negative values are failures. Every
// failure code is one the system has no text for, so FormatResultText gives the decoder hint.
#include <cstdint>

typedef struct _GError GError;

namespace kalimo::media {

inline constexpr int kOk = 0;
inline constexpr int kFalse = 1;
inline constexpr int kFail = static_cast<int>(0x80004005u);
inline constexpr int kFileNotFound = static_cast<int>(0x80070002u);
inline constexpr int kAccessDenied = static_cast<int>(0x80070005u);
inline constexpr int kTimeout = static_cast<int>(0x800705B4u);
inline constexpr int kUnsupportedStream = static_cast<int>(0x80040265u);  // no decoder for the stream
inline constexpr int kOutOfMemory = static_cast<int>(0x8007000Eu);
// The file played, but its video did not pass through the frame tap, or loading threw.
inline constexpr int kNotGrabbed = static_cast<int>(0x8FFFFFFFu);

constexpr bool Failed(int result) { return result < 0; }

// The result code for a GStreamer error.
int ResultOfError(const GError* error);

}  // namespace kalimo::media
