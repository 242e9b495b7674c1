#include "common/text.h"

#include <climits>

namespace common {
namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";

} // namespace

long long text_to_int(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_space(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned long long value = 0;
    const unsigned long long limit = negative ? static_cast<unsigned long long>(LLONG_MAX) + 1ULL
                                              : static_cast<unsigned long long>(LLONG_MAX);
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<unsigned long long>(text[i] - '0');
        if (value >= limit) {
            value = limit;
            break;
        }
    }
    if (negative)
        return value == limit ? LLONG_MIN : -static_cast<long long>(value);
    return static_cast<long long>(value);
}

std::string trim_spaces(std::string_view text) {
    for (;;) {
        if (text.starts_with(' '))
            text.remove_prefix(1);
        else if (text.starts_with(kFullWidthSpace))
            text.remove_prefix(kFullWidthSpace.size());
        else
            break;
    }
    for (;;) {
        if (text.ends_with(' '))
            text.remove_suffix(1);
        else if (text.ends_with(kFullWidthSpace))
            text.remove_suffix(kFullWidthSpace.size());
        else
            break;
    }
    return std::string(text);
}

std::size_t find_ignore_case(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size() || needle.size() > text.size() - from)
        return std::string_view::npos;
    // Folding touches ASCII letters only, so a lead byte of the needle can only meet a lead
    // byte of the text: UTF-8 matches stay on character boundaries.
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && fold(text[i + k]) == fold(needle[k]))
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::string_view::npos;
}

bool contains_ignore_case(std::string_view text, std::string_view needle) {
    return find_ignore_case(text, needle) != std::string_view::npos;
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos; pos = hit + from.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(text.substr(pos));
    return out;
}

std::string text_between(std::string_view text, std::string_view left, std::string_view right) {
    const std::string l = replace_all(left, "#引号", "\"");
    const std::string r = replace_all(right, "#引号", "\"");
    const std::size_t at = find_ignore_case(text, l);
    if (at == std::string_view::npos)
        return {};
    const std::string_view rest = text.substr(at + l.size());
    const std::size_t end = find_ignore_case(rest, r);
    if (end == std::string_view::npos)
        return {};
    return std::string(rest.substr(0, end));
}

int count_occurrences(std::string_view text, std::string_view separator) {
    if (separator.empty())
        return 0;
    int count = 0;
    for (std::size_t at = find_ignore_case(text, separator); at != std::string_view::npos;
         at = find_ignore_case(text, separator, at + separator.size()))
        ++count;
    return count;
}

std::vector<std::string> split_at_comma(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            break;
        }
        pieces.emplace_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return pieces;
}

std::string percent_encode(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' || u == '.' ||
            u == '_' || u == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[u >> 4];
            encoded += kHex[u & 0x0F];
        }
    }
    return encoded;
}

std::string two_digits(long long value) {
    std::string s = std::to_string(value);
    return s.size() == 1 ? "0" + s : s;
}

} // namespace common
