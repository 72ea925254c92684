#include "shell/sidewindows/VendorSite.h"

#include <time.h>

#include "common/Logging.h"
#include "library/settings/SettingParams.h"

namespace kalimo {

std::string VendorSiteAddress() {
  std::string site = OemWebSite();
  while (!site.empty() && site.back() == '/') site.pop_back();
  return site;
}

std::string NoticePageAddress(std::uint32_t tick) {
  return log::Format("%s/ads/softads/notice.html?skq=%u", VendorSiteAddress().c_str(), tick);
}

std::string HelpPageAddress(const std::string& path, const std::string& fragment) {
  return VendorSiteAddress() + path + fragment;
}

std::uint32_t MillisecondTick() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(milliseconds);
}

}  // namespace kalimo
