#include "common/ApplyDataToOstrel.h"

#include <chrono>
#include <cstring>

#include "common/FrameSectionLayout.h"
#include "common/Logging.h"

namespace kalimo {

namespace {

bool ValidDimensions(int width, int height) {
  // The header holds 16 bits per dimension; a larger picture cannot be described, so it is
  // refused instead of being stored with a truncated size that would mislead every reader.
  if (width > 0 && height > 0 && width <= kMaxHeaderDimension && height <= kMaxHeaderDimension) return true;
  KALIMO_LOG_ERROR("frame size %dx%d cannot be described by the frame section", width, height);
  return false;
}

bool ValidByteCount(std::int32_t byteCount) {
  if (byteCount < 0) return false;
  if (static_cast<std::int64_t>(byteCount) + kSectionHeaderSize > kSectionCapacity) {
    KALIMO_LOG_ERROR("存储图像的空间太小，不能传输图像");
    return false;
  }
  return true;
}

bool EnsureSectionOpen(FrameSectionHandle& cell) {
  if (cell.IsOpen()) return true;
  int error = 0;
  const std::string name = platform::FrameSectionName();
  cell.handle = platform::CreateSection(name, kSectionObjectSize, error);
  if (!cell.IsOpen()) {
    KALIMO_LOG_ERROR("Could not create file mapping object error code=%d", error);
    // An object under our name that we may not use is explained once, not at every frame.
    std::string problem = platform::SectionProblemText(name);
    if (!problem.empty() && problem != cell.problem) KALIMO_LOG_ERROR("%s", problem.c_str());
    if (problem.empty()) problem = "the frame section " + name + " cannot be created (error code " + std::to_string(error) + ")";
    cell.problem = std::move(problem);
    return false;
  }
  cell.problem.clear();
  cell.name = name;
  KALIMO_LOG_ERROR("Create file maping success");
  return true;
}

// A new object's counter starts at a value taken from the clock rather than at 0, so that a reader
// that remembers the counter of an earlier writer's frame cannot mistake this writer's first frame
// for the one it already has. An object reused from an earlier run keeps counting where it was.
void SeedSequence(unsigned char* view) {
  auto sequence = SectionSequence(view);
  if (sequence.load(std::memory_order_relaxed) != 0) return;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto seed = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  sequence.store((seed & ~std::uint64_t{1}) | 2, std::memory_order_relaxed);
}

// Opens the section if needed and maps the whole of it once; on a mapping failure the handle is
// closed so that the next frame creates the section afresh.
unsigned char* MapWholeSection(FrameSectionHandle& cell) {
  if (cell.view) return cell.view;
  if (!EnsureSectionOpen(cell)) return nullptr;
  int error = 0;
  void* view = platform::MapSection(cell.handle, kSectionObjectSize, true, error);
  if (!view) {
    KALIMO_LOG_ERROR("Could not map view of file error code=%d", error);
    platform::CloseSection(cell.handle);
    cell.handle = platform::kNoSection;
    return nullptr;
  }
  cell.view = static_cast<unsigned char*>(view);
  SeedSequence(cell.view);
  return cell.view;
}

FrameSectionHeader MakeHeader(int width, int height, std::int32_t byteCount) {
  return {static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), byteCount};
}

FrameView SectionFrame(const unsigned char* view, int width, int height, std::int64_t byteCount) {
  return DibFrame(view + kSectionHeaderSize, width, height, byteCount);
}

}  // namespace

FrameSectionHandle& ProcessFrameSectionHandle() {
  static FrameSectionHandle cell;
  return cell;
}

bool PrepareFrameSection(FrameSectionHandle& handleCell, std::string& problem) {
  if (MapWholeSection(handleCell)) return true;
  problem = handleCell.problem.empty() ? "the frame section cannot be mapped" : handleCell.problem;
  return false;
}

FrameView WriteFrameToSection(const void* bits, FrameSectionHandle& handleCell, std::int32_t byteCount, int width,
                              int height) {
  if (!bits) return {};
  if (!ValidByteCount(byteCount) || !ValidDimensions(width, height)) return {};
  unsigned char* view = MapWholeSection(handleCell);
  if (!view) return {};
  const std::uint64_t writing = BeginSectionWrite(view);
  StoreSectionHeader(view, MakeHeader(width, height, byteCount));
  std::memcpy(view + kSectionHeaderSize, bits, static_cast<std::size_t>(byteCount));
  EndSectionWrite(view, writing);
  return SectionFrame(view, width, height, byteCount);
}

FrameView WriteTopDownFrameToSection(const FrameView& topDown, FrameSectionHandle& handleCell) {
  const int width = topDown.width;
  const int height = topDown.height;
  if (!topDown || !ValidDimensions(width, height)) return {};
  const std::int64_t dibStride = DibStride(width);
  const std::int64_t pixelBytes = static_cast<std::int64_t>(width) * 3;
  const std::int64_t sourceStride = topDown.stride;
  if (sourceStride < pixelBytes || sourceStride * (height - 1) + pixelBytes > topDown.byteCount) return {};
  const std::int64_t byteCount = dibStride * height;
  if (byteCount > kMaxFrameBytes) {
    KALIMO_LOG_ERROR("存储图像的空间太小，不能传输图像");
    return {};
  }
  unsigned char* view = MapWholeSection(handleCell);
  if (!view) return {};
  const std::uint64_t writing = BeginSectionWrite(view);
  StoreSectionHeader(view, MakeHeader(width, height, static_cast<std::int32_t>(byteCount)));

  // A source row at least as long as the DIB row (its last one included) is copied whole, padding
  // included, as the bottom-up writer does; a tighter source row gets zero padding.
  const bool wholeRows = sourceStride >= dibStride && sourceStride * (height - 1) + dibStride <= topDown.byteCount;
  const auto rowBytes = static_cast<std::size_t>(wholeRows ? dibStride : pixelBytes);
  const auto padding = static_cast<std::size_t>(dibStride) - rowBytes;
  unsigned char* target = view + kSectionHeaderSize;
  // The source is read front to back, the order its producer wrote it in and the hardware
  // prefetches best; the section's rows are filled from its last row up.
  for (int row = 0; row < height; ++row) {
    unsigned char* targetRow = target + static_cast<std::int64_t>(height - 1 - row) * dibStride;
    std::memcpy(targetRow, topDown.bits + static_cast<std::int64_t>(row) * sourceStride, rowBytes);
    if (padding) std::memset(targetRow + rowBytes, 0, padding);
  }
  EndSectionWrite(view, writing);
  return SectionFrame(view, width, height, byteCount);
}

void CloseFrameSection(FrameSectionHandle& handleCell) {
  platform::UnmapSection(handleCell.view, kSectionObjectSize);
  handleCell.view = nullptr;
  if (!handleCell.IsOpen()) return;
  platform::CloseSection(handleCell.handle);
  handleCell.handle = platform::kNoSection;
  if (!handleCell.name.empty()) platform::RemoveSection(handleCell.name);
  handleCell.name.clear();
}

}  // namespace kalimo
