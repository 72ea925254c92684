#pragma once
// Turning pictures into the 24-bit bottom-up frames the frame section carries.
#include <cstdint>
#include <memory>

#include "common/ApplyDataToOstrel.h"

class QImage;

namespace kalimo {

using DibBits = std::unique_ptr<unsigned char[]>;

// Copies `bitmap` into new 24-bit BGR bottom-up rows padded to 4 bytes. The out-parameters get the
// bitmap's width, height and the image size (stride × height) even when there is nothing to copy.
// A null bitmap, or one too large to address, yields null. Transparency is not composed here: the
// colour channels are taken as they stand.
DibBits BitmapToDibBits(int& outWidth, int& outHeight, const QImage& bitmap, std::int32_t& outByteCount);

// The picture composed over opaque white, as DIB bits; null when the image is null or its size
// differs from the size the caller expects.
DibBits ImageToDibBits(const QImage& image, std::int32_t& outByteCount, int expectedWidth, int expectedHeight);

// Converts the picture at its own size and writes it into the section; the section's copy (see
// WriteFrameToSection), empty when it did not get there.
FrameView SendImageToSection(const QImage& image, FrameSectionHandle& handleCell);

}  // namespace kalimo
