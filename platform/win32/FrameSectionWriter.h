#pragma once
// The writing end of the frame section on Windows: a named, paging-file-backed file mapping
// ("Global\MyFileMappingObject444", or KALIMO_SECTION) that holds one frame, replaced by each write.
// A writer that may not create global objects creates "Local\MyFileMappingObject444" instead.
#include <windows.h>

#include <cstdint>

namespace kalimo::win32 {

// The cell with the section's handle: null until the first frame creates the section; a failed
// mapping closes it again, so that the next frame creates the section afresh.
struct FrameSectionHandle {
  HANDLE handle = nullptr;
  DWORD lastError = 0;  // the system's code of the last failure
  bool IsOpen() const { return handle != nullptr; }
};

// Writes one 24-bit bottom-up frame of `byteCount` bytes (rows padded to 4 bytes). Returns false,
// leaving the section as it was, for a null pointer, a negative byte count, more than 17999996 bytes,
// a width or height outside 1..65535, or a system failure. Failures are reported on stderr.
bool WriteFrameToSection(const void* bits, FrameSectionHandle& handleCell, std::int32_t byteCount, int width,
                         int height);

// Closes the cell's handle; the section disappears once every reader has closed it too.
void CloseFrameSection(FrameSectionHandle& handleCell);

}  // namespace kalimo::win32
