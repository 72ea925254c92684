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

// Lines that are not GB18030 text (an invalid byte sequence, a NUL) must still survive a load and a
// save byte for byte. Their decodable parts become UTF-8 as usual; every other byte b (and every
// NUL) becomes the escape U+DC00 + b, written with the UTF-8 pattern of that code point
// (ED B0 80 .. ED B3 BF). Valid text never decodes to those bytes, and an escape holds no ASCII,
// so splitting the text at ASCII characters (such as "&") and joining it again keeps it intact.
std::string Gb18030ToUtf8Escaped(std::string_view gb18030);

// The reverse: UTF-8 text that may hold such escapes, to the original bytes. Empty when the text
// outside the escapes is not valid UTF-8.
std::optional<std::string> Utf8ToGb18030Escaped(std::string_view text);

}  // namespace kalimo::platform
