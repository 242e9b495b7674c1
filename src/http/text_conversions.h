#pragma once
// Conversions of a response body towards GBK (code page 936). Input is 8-bit text: it ends at
// its first zero byte, and so does every result.

#include <string>
#include <string_view>

namespace http {

// UTF-8 to GBK; a character GBK lacks, and a byte that is not UTF-8, become "?".
std::string utf8_to_gbk(std::string_view utf8);

// Big5 to GBK. The result ends just before the first character GBK cannot represent; bytes that
// are not Big5 become "?".
std::string big5_to_gbk(std::string_view big5);

// Traditional characters of GBK text turned into their simplified forms, each character on its
// own (OpenCC's character table, without its phrases), so every character keeps its place; the
// text is returned unchanged when the table cannot be loaded.
std::string to_simplified(std::string_view gbk);

// big5_to_gbk, then to_simplified.
std::string big5_to_gbk_simplified(std::string_view big5);

} // namespace http
