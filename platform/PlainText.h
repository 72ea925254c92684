#pragma once
// Small text rules shared by the stores that read and write plain-text files.
#include <string>
#include <vector>

namespace kalimo::platform {

// True when `a` and `b` differ at most in the case of ASCII letters (other bytes, UTF-8 and
// GB18030 included, must match exactly): how section, key and value names are compared.
bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b);

// The lines of `text`: each ends at LF, and a CR right before it is not part of the line, so
// files written with either line end read the same. A last line without LF counts; the empty
// text has no lines.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace kalimo::platform
