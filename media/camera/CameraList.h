#pragma once
// The counting rules of the camera list, apart from how devices are found. The virtual camera is
// left out of the list by its configured name and also by what marks a device as ours (after a
// rename the configured name may no longer match, and picking it would feed the camera its own
// picture).
#include <optional>
#include <string>
#include <vector>

namespace kalimo::media {

struct CameraEntry {
  std::optional<std::string> name;  // empty when the device's name cannot be read
  bool ours = false;                // the virtual camera itself, whatever its name
};

// Fills `names` with the cameras to offer, in order, and returns the count of every device with a
// readable name (the skipped virtual camera included), or -1 when there is no device at all.
int ListCameraNames(const std::vector<CameraEntry>& devices, const std::string& cameraName,
                    std::vector<std::string>& names);

// The index in `devices` of camera position `position`: positions count every device except the
// virtual camera (a device without a readable name takes a position but cannot be bound).
std::optional<std::size_t> DeviceAtPosition(const std::vector<CameraEntry>& devices, const std::string& cameraName,
                                            int position);

}  // namespace kalimo::media
