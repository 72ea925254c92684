#pragma once
// The XviD codec's "display_status" value, which keeps the codec from opening its status window
// while videos play.

namespace kalimo {

inline constexpr const char* kXvidKey = "Software\\GNU\\XviD";
inline constexpr const char* kXvidDisplayStatusValue = "display_status";

// Writes display_status = 0 under HKEY_CURRENT_USER\Software\GNU\XviD, as a volatile entry (gone
// when the user's session ends). False with the store's error code when that fails.
bool WriteXvidDisplayStatus(int& error);

}  // namespace kalimo
