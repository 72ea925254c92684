#include "platform/win32/FrameSectionWriter.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/FrameSectionLayout.h"
#include "platform/ReceiverPlatform.h"
#include "platform/win32/SessionSectionName.h"
#include "platform/win32/WideText.h"

namespace kalimo::win32 {

namespace {

void Report(const char* text) { std::fprintf(stderr, "%s\n", text); }

void ReportCode(const char* format, unsigned long code) {
  std::fprintf(stderr, format, code);
  std::fputc('\n', stderr);
}

bool ValidFrame(std::int32_t byteCount, int width, int height) {
  if (byteCount < 0) return false;
  if (byteCount > kMaxFrameBytes) {
    Report("存储图像的空间太小，不能传输图像");
    return false;
  }
  // The header holds 16 bits per dimension; a larger picture is refused rather than described wrongly.
  return width > 0 && height > 0 && width <= kMaxHeaderDimension && height <= kMaxHeaderDimension;
}

bool EnsureSectionOpen(FrameSectionHandle& cell) {
  if (cell.IsOpen()) return true;
  // The object also carries the write sequence counter behind the frame area.
  const auto size = static_cast<std::uint64_t>(kSectionObjectSize);
  auto create = [size, &cell](const std::string& name) {
    const std::wstring wide = platform::Utf8ToWide(name);
    cell.handle = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                     static_cast<DWORD>(size & 0xFFFFFFFFu), wide.c_str());
    cell.lastError = cell.handle ? 0 : GetLastError();
  };
  const std::string name = platform::FrameSectionName();
  create(name);
  // Only accounts with the right to create global objects may create a Global\ section; everyone
  // else writes into the session's namespace, where the camera looks next.
  const std::string local = platform::SessionSectionName(name);
  if (!cell.handle && cell.lastError == ERROR_ACCESS_DENIED && !local.empty()) {
    create(local);
    if (cell.handle) Report("The frame section is in this session's namespace (no right to create global objects)");
  }
  if (!cell.handle) {
    ReportCode("Could not create file mapping object error code=%lu", cell.lastError);
    return false;
  }
  Report("Create file maping success");
  return true;
}

}  // namespace

bool WriteFrameToSection(const void* bits, FrameSectionHandle& handleCell, std::int32_t byteCount, int width,
                         int height) {
  if (!bits || !ValidFrame(byteCount, width, height)) return false;
  if (!EnsureSectionOpen(handleCell)) return false;
  auto* view = static_cast<unsigned char*>(
      MapViewOfFile(handleCell.handle, FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(kSectionObjectSize)));
  if (!view) {
    handleCell.lastError = GetLastError();
    ReportCode("Could not map view of file error code=%lu", handleCell.lastError);
    CloseHandle(handleCell.handle);
    handleCell.handle = nullptr;
    return false;
  }
  const std::uint64_t sequence = BeginSectionWrite(view);
  StoreSectionHeader(view, {static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), byteCount});
  std::memcpy(view + kSectionHeaderSize, bits, static_cast<std::size_t>(byteCount));
  EndSectionWrite(view, sequence);
  UnmapViewOfFile(view);
  return true;
}

void CloseFrameSection(FrameSectionHandle& handleCell) {
  if (handleCell.IsOpen()) CloseHandle(handleCell.handle);
  handleCell.handle = nullptr;
}

}  // namespace kalimo::win32
