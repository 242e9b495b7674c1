#pragma once
// Character-set conversion with iconv. Text inside the program is UTF-8; the site, the
// settings file and the bytes sent out are GBK (code page 936).

#include <string>
#include <string_view>

namespace common {

// What to do with a character the target cannot represent.
enum class Unmappable { Replace, Stop };

// Converts `bytes` from charset `from` to charset `to`. Invalid input bytes become U+FFFD
// (then `replacement` when the target lacks it) and conversion goes on after them; an
// incomplete sequence at the end becomes one replacement. With Unmappable::Stop the result
// ends just before the first character the target cannot represent.
std::string recode(std::string_view bytes, const char* from, const char* to, Unmappable unmappable,
                   std::string_view replacement);

// GBK bytes to UTF-8 text; invalid bytes become U+FFFD.
std::string from_gbk(std::string_view gbk);
// UTF-8 text to GBK bytes; characters GBK lacks become "?".
std::string to_gbk(std::string_view utf8);
// Length of the text in GBK bytes.
std::size_t gbk_length(std::string_view utf8);

} // namespace common
