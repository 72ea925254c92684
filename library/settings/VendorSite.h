#pragma once
// Addresses on the vendor's web site: the notice page, the help pages and the site itself. The
// site is "companywebsite" of config.ini's [oem] section, so that an OEM build (or a test) points
// every one of them elsewhere. Without a site the help links open the user guide that lies beside
// the program (guide/user-guide.html), at the chapter of the same name, and there is no notice page.
#include <cstdint>
#include <string>

namespace kalimo {

// The site's address without a trailing "/"; empty when config.ini names none.
std::string VendorSiteAddress();
bool VendorSiteConfigured();

// "<site>/ads/softads/notice.html?skq=<tick>": every request has its own address.
std::string NoticePageAddress(std::uint32_t tick);

// "<site><path><fragment>", e.g. "/help/ostrel.html" "#howuseinqq"; without a site the guide's
// file URL with the fragment ("file:///.../guide/user-guide.html#howuseinqq").
std::string HelpPageAddress(const std::string& path, const std::string& fragment = "");

// The site itself; without one, the guide's start.
std::string VendorHomeAddress();

// Milliseconds since the system started, wrapping at 2^32.
std::uint32_t MillisecondTick();

}  // namespace kalimo
