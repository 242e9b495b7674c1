#include "http/byte_text.h"

#include <algorithm>

namespace http {

std::string_view trim_blanks(std::string_view gbk) {
    std::size_t first = gbk.size();
    std::size_t end = 0;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        const bool double_byte = lead >= 0x81 && lead <= 0xFE && i + 1 < gbk.size();
        const std::size_t width = double_byte ? 2 : 1;
        const bool blank = lead == ' ' || (double_byte && lead == 0xA1 && static_cast<unsigned char>(gbk[i + 1]) == 0xA1);
        if (!blank) {
            first = std::min(first, i);
            end = i + width;
        }
        i += width;
    }
    return first < end ? gbk.substr(first, end - first) : std::string_view();
}

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace http
