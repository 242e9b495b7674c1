#pragma once
// Text routines shared by every part of the program. Text is UTF-8 in std::string.

#include <string>
#include <string_view>
#include <vector>

namespace common {

// Skips leading white space, takes an optional sign, then the leading decimal digits.
// Text without leading digits gives 0; values beyond the range saturate.
long long text_to_int(std::string_view text);

// Removes ASCII spaces and full-width spaces (U+3000) at both ends, nothing else.
std::string trim_spaces(std::string_view text);

// Position of `needle` in `text` at or after `from`, comparing ASCII letters without case;
// npos when absent. On UTF-8 a match never starts or ends inside a character.
std::size_t find_ignore_case(std::string_view text, std::string_view needle, std::size_t from = 0);
bool contains_ignore_case(std::string_view text, std::string_view needle);

// Replaces every occurrence of `from` (exact case) by `to`.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to);

// The text between the first `left` and the first `right` after it; empty when either is
// missing. "#引号" in a marker stands for a double quote.
std::string text_between(std::string_view text, std::string_view left, std::string_view right);

// Number of non-overlapping places where `separator` occurs, ignoring letter case.
int count_occurrences(std::string_view text, std::string_view separator);

// Pieces between commas: an empty piece between two commas stays, an empty piece after a
// final comma is dropped, and an empty text gives no pieces.
std::vector<std::string> split_at_comma(std::string_view text);

// Every byte except ASCII letters, digits and "-._~" written as "%" and two upper-case hex
// digits, so a value put into a URL can neither end nor split its query.
std::string percent_encode(std::string_view bytes);

// Decimal digits with a leading zero when the number has one digit (8 -> "08").
std::string two_digits(long long value);

} // namespace common
