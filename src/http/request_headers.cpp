#include "http/request_headers.h"

#include "common/text.h"
#include "http/byte_text.h"

#include <algorithm>

namespace http {
namespace {

constexpr std::string_view kAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

// Lines split at CR LF, and at a lone CR or LF, so no stray line end reaches the wire.
std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n')
            continue;
        if (i > start)
            lines.push_back(text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

} // namespace

std::string user_agent_of(std::string_view extra_headers) {
    constexpr std::string_view kMarker = "User-Agent:";
    const std::size_t at = common::find_ignore_case(extra_headers, kMarker);
    if (at == std::string_view::npos)
        return std::string(kDefaultUserAgent);
    const std::string_view rest = extra_headers.substr(at + kMarker.size());
    const std::size_t end = rest.find("\r\n");
    if (end == std::string_view::npos)
        return {};
    return std::string(trim_blanks(rest.substr(0, end)));
}

std::string compose_headers(std::string_view url, std::string_view method, std::string_view extra_headers,
                            std::string_view body, std::string_view cookie_text) {
    std::string text(extra_headers);
    const auto names = [&text](std::string_view word) { return common::contains_ignore_case(text, word); };
    if (!names("Accept"))
        text += kAccept;
    if (names("RefererNo")) {
        const std::size_t at = text.find("RefererNo");
        if (at != std::string::npos)
            text.erase(at, std::string_view("RefererNo").size());
    } else if (!names("Referer")) {
        text += "Referer: ";
        text += url;
        text += "\r\n";
    }
    if (!names("Accept-Language"))
        text += "Accept-Language: zh-cn\r\n";
    if (method == "POST" && !body.empty()) {
        if (!names("Content-Type"))
            text += "Content-Type: application/x-www-form-urlencoded\r\n";
        if (!names("Content-Length"))
            text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    if (!cookie_text.empty()) {
        text += "Cookie: ";
        text += cookie_text;
        text += "\r\n\r\n";
    }
    return text;
}

std::vector<std::string> curl_header_lines(std::string_view header_text, bool post) {
    std::vector<std::string> lines;
    std::vector<std::string> names;
    for (const std::string_view line : split_lines(header_text)) {
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            names.push_back(lower_ascii(trim_blanks(line.substr(0, colon))));
            // curl reads "Name:" with nothing after it as "do not send Name"; "Name;" sends it empty.
            if (is_blank(line.substr(colon + 1))) {
                lines.push_back(std::string(line.substr(0, colon)) + ";");
                continue;
            }
        }
        lines.emplace_back(line);
    }
    const auto suppress = [&](std::string_view name, std::string_view entry) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            lines.emplace_back(entry);
    };
    suppress("accept", "Accept:");
    suppress("expect", "Expect:");
    if (post)
        suppress("content-type", "Content-Type:");
    return lines;
}

} // namespace http
