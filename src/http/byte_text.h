#pragma once
// Small routines on the byte texts of requests and responses (GBK URLs, cookie text, header
// values). Blanks are the ASCII space and the full-width space A1 A1; the text is walked from
// its start, so the second byte of a double-byte character is never taken for a blank.

#include <string>
#include <string_view>

namespace http {

std::string_view trim_blanks(std::string_view gbk);
inline bool is_blank(std::string_view gbk) { return trim_blanks(gbk).empty(); }

// ASCII letters lower-cased; every other byte, double-byte characters included, kept.
std::string lower_ascii(std::string_view text);

} // namespace http
