#include "library/settings/VendorSite.h"

#include <time.h>

#include <string_view>

#include "common/Logging.h"
#include "library/settings/SettingParams.h"
#include "platform/ProgramPaths.h"

namespace kalimo {

std::string VendorSiteAddress() {
  std::string site = OemWebSite();
  while (!site.empty() && site.back() == '/') site.pop_back();
  return site;
}

bool VendorSiteConfigured() { return !VendorSiteAddress().empty(); }

namespace {
// The guide page beside the program as a file URL; the folder is absolute, so the URL has three
// slashes. Characters outside a URL's plain set are percent-encoded (folders may have spaces or
// Chinese names).
std::string UserGuideAddress(const std::string& fragment) {
  std::string url = "file://";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const unsigned char c : platform::ProgramDirectory() + "/guide/user-guide.html") {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       std::string_view("/-._~").find(static_cast<char>(c)) != std::string_view::npos;
    if (plain) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url + fragment;
}
}  // namespace

std::string NoticePageAddress(std::uint32_t tick) {
  return log::Format("%s/ads/softads/notice.html?skq=%u", VendorSiteAddress().c_str(), tick);
}

std::string HelpPageAddress(const std::string& path, const std::string& fragment) {
  const std::string site = VendorSiteAddress();
  return site.empty() ? UserGuideAddress(fragment) : site + path + fragment;
}

std::string VendorHomeAddress() {
  const std::string site = VendorSiteAddress();
  return site.empty() ? UserGuideAddress("") : site;
}

std::uint32_t MillisecondTick() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(milliseconds);
}

}  // namespace kalimo
