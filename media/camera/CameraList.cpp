#include "media/camera/CameraList.h"

namespace kalimo::media {

namespace {
bool IsVirtualCamera(const CameraEntry& entry, const std::string& cameraName) {
  return entry.ours || (entry.name && *entry.name == cameraName);
}
}  // namespace

int ListCameraNames(const std::vector<CameraEntry>& devices, const std::string& cameraName,
                    std::vector<std::string>& names) {
  names.clear();
  if (devices.empty()) return -1;
  int count = 0;
  for (const CameraEntry& entry : devices) {
    if (!entry.name) continue;
    ++count;
    if (!IsVirtualCamera(entry, cameraName)) names.push_back(*entry.name);
  }
  return count;
}

std::optional<std::size_t> DeviceAtPosition(const std::vector<CameraEntry>& devices, const std::string& cameraName,
                                            int position) {
  if (position < 0) return std::nullopt;
  int current = 0;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (IsVirtualCamera(devices[i], cameraName)) continue;
    if (current == position) {
      if (!devices[i].name) return std::nullopt;
      return i;
    }
    ++current;
  }
  return std::nullopt;
}

}  // namespace kalimo::media
