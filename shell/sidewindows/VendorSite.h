#pragma once
// Addresses on the vendor's web site: the notice page, the help pages and the site itself. The
// site is "companywebsite" of config.ini's [oem] section, so that an OEM build (or a test) points
// every one of them elsewhere.
#include <cstdint>
#include <string>

namespace kalimo {

// The site's address without a trailing "/".
std::string VendorSiteAddress();

// "<site>/ads/softads/notice.html?skq=<tick>": every request has its own address.
std::string NoticePageAddress(std::uint32_t tick);

// "<site><path><fragment>", e.g. "/help/ostrel.html" "#howuseinqq".
std::string HelpPageAddress(const std::string& path, const std::string& fragment = "");

// Milliseconds since the system started, wrapping at 2^32.
std::uint32_t MillisecondTick();

}  // namespace kalimo
