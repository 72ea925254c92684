#pragma once
// The portable code keeps text in UTF-8 std::string; Windows calls take UTF-16.
#include <string>

namespace kalimo::platform {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace kalimo::platform
