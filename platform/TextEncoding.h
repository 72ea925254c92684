#pragma once
// Conversions between the program's UTF-8 text and the GB18030 text of the list files. GB18030
// encodes every GBK character with the same bytes as GBK and every other Unicode character too,
// so no character of a path is ever replaced or dropped.
#include <optional>
#include <string>
#include <string_view>

namespace kalimo::platform {

// Empty when `utf8` is not valid UTF-8.
std::optional<std::string> Utf8ToGb18030(std::string_view utf8);

// Empty when `gb18030` is not valid GB18030.
std::optional<std::string> Gb18030ToUtf8(std::string_view gb18030);

bool IsValidUtf8(std::string_view text);

}  // namespace kalimo::platform
