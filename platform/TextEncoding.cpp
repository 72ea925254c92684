#include "platform/TextEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace kalimo::platform {

namespace {
// Converts the whole input or nothing: an invalid or incomplete sequence fails the conversion.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view input) {
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string output;
  // GB18030 needs at most 4 bytes per character, UTF-8 at most 4 per character of at least 1 byte.
  output.resize(input.size() * 4 + 4);
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* out = output.data();
  std::size_t outLeft = output.size();
  bool ok = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
  // Flush any shift state; neither encoding has one, but the call is cheap and complete.
  if (ok) ok = iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  if (!ok || inLeft != 0) return std::nullopt;
  output.resize(output.size() - outLeft);
  return output;
}
void AppendEscape(std::string& text, unsigned char byte) {
  const unsigned code = 0xDC00u + byte;
  text += static_cast<char>(0xE0 | (code >> 12));
  text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  text += static_cast<char>(0x80 | (code & 0x3F));
}

bool IsEscapeAt(std::string_view text, std::size_t at) {
  return at + 3 <= text.size() && static_cast<unsigned char>(text[at]) == 0xED &&
         (static_cast<unsigned char>(text[at + 1]) & 0xFC) == 0xB0 && (static_cast<unsigned char>(text[at + 2]) & 0xC0) == 0x80;
}

// Decodes a stretch without NUL, escaping each byte that starts no valid character.
void DecodeEscaped(iconv_t converter, std::string_view input, std::string& output) {
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  while (inLeft > 0) {
    char buffer[4096];
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    output.append(buffer, sizeof buffer - outLeft);
    if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut short at the end): keep its first byte and go on after it.
    AppendEscape(output, static_cast<unsigned char>(*in));
    ++in;
    --inLeft;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
}
}  // namespace

std::string Gb18030ToUtf8Escaped(std::string_view gb18030) {
  std::string output;
  iconv_t converter = iconv_open("UTF-8", "GB18030");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    for (const char byte : gb18030) AppendEscape(output, static_cast<unsigned char>(byte));
    return output;
  }
  std::size_t start = 0;
  while (start <= gb18030.size()) {
    const std::size_t zero = std::min(gb18030.find('\0', start), gb18030.size());
    DecodeEscaped(converter, gb18030.substr(start, zero - start), output);
    if (zero == gb18030.size()) break;
    AppendEscape(output, 0);
    start = zero + 1;
  }
  iconv_close(converter);
  return output;
}

std::optional<std::string> Utf8ToGb18030Escaped(std::string_view text) {
  std::string output;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t escape = start;
    while (escape < text.size() && !IsEscapeAt(text, escape)) ++escape;
    if (escape > start) {
      std::optional<std::string> part = Utf8ToGb18030(text.substr(start, escape - start));
      if (!part) return std::nullopt;
      output += *part;
    }
    if (escape == text.size()) break;
    const auto second = static_cast<unsigned char>(text[escape + 1]);
    const auto third = static_cast<unsigned char>(text[escape + 2]);
    output += static_cast<char>(((second & 0x03) << 6) | (third & 0x3F));
    start = escape + 3;
  }
  return output;
}

std::optional<std::string> Utf8ToGb18030(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  return Convert("GB18030", "UTF-8", utf8);
}

std::optional<std::string> Gb18030ToUtf8(std::string_view gb18030) { return Convert("UTF-8", "GB18030", gb18030); }

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace kalimo::platform
