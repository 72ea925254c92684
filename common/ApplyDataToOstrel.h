#pragma once
// The writing end of the frame channel: every picture of every source goes through here into the
// named frame section that the virtual camera reads.
#include <cstdint>
#include <string>

#include "common/FrameSectionLayout.h"
#include "platform/SharedSection.h"

namespace kalimo {

// The process-wide cell with the section's handle. Closed until the first frame creates the
// section; a failed mapping closes it again so that the next frame creates it afresh.
// The view stays mapped while the handle is open: mapping 18 MB afresh for every frame costs page
// faults on every page written, many times the cost of copying the frame itself.
struct FrameSectionHandle {
  platform::SectionHandle handle = platform::kNoSection;
  unsigned char* view = nullptr;  // the whole object, mapped read/write
  std::string name;  // the name the section was created under, for the shutdown step
  std::string problem;  // why the section could not be created, once the name is unusable
  bool IsOpen() const { return handle != platform::kNoSection; }
};

// The cell shared by every writer of this process, created on first use.
FrameSectionHandle& ProcessFrameSectionHandle();

// Creates (or reuses) and maps the section now instead of at the first frame. False when the name
// cannot be used; `problem` then says why, e.g. whose object sits under the name and how to remove
// it, so that a producer stops instead of feeding nothing.
bool PrepareFrameSection(FrameSectionHandle& handleCell, std::string& problem);

// Writes one 24-bit bottom-up frame of `byteCount` bytes into the section, replacing the previous
// frame, and moves the write sequence counter on (odd during the copy, even after it). Returns the
// section's own copy, exactly the picture the virtual camera reads (valid until the next write or
// the shutdown step), for a preview to show. Returns an empty view (and leaves the section as it
// was) for a null pointer, a negative byte count, more than 17999996 bytes, a width or height
// outside 1..65535, or a system failure.
FrameView WriteFrameToSection(const void* bits, FrameSectionHandle& handleCell, std::int32_t byteCount, int width,
                              int height);

// Same header and pixels as WriteFrameToSection would write for the same picture, taken from a
// frame of top-down rows (GStreamer's order); the rows are reversed while they are copied, in the
// one copy. The section's byte count is the DIB stride times the height. Nothing is written (an
// empty view) for rows shorter than the picture is wide, rows that do not lie within the frame's
// byte count, or a size the section cannot carry.
FrameView WriteTopDownFrameToSection(const FrameView& topDown, FrameSectionHandle& handleCell);

// The shutdown step: unmaps the view, closes the cell's handle and removes the section's name, so
// that no picture outlives the program. Safe to call on a closed cell.
void CloseFrameSection(FrameSectionHandle& handleCell);

}  // namespace kalimo
