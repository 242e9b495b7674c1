#include "common/encoding.h"

#include <cerrno>
#include <iconv.h>

namespace common {
namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD"; // U+FFFD

class Iconv final {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

std::size_t utf8_char_length(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

enum class Step { Invalid, Unmappable, Incomplete, Done };

// Converts as much as it can, appending to `out`; reports why it stopped.
Step convert_run(const Iconv& cd, const char*& in, std::size_t& left, std::string& out) {
    char buffer[16384];
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        char* src = const_cast<char*>(in);
        const std::size_t rc = iconv(cd.get(), &src, &left, &dst, &room);
        const int err = errno;
        in = src;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1))
            continue;
        if (err == E2BIG)
            continue;
        if (err == EINVAL)
            return Step::Incomplete;
        return Step::Invalid;
    }
    // Flush any shift state.
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    iconv(cd.get(), nullptr, nullptr, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    return Step::Done;
}

// Source charset to valid UTF-8, invalid input replaced by U+FFFD.
std::string decode_to_utf8(std::string_view bytes, const char* from) {
    std::string out;
    Iconv cd("UTF-8", from);
    if (!cd.ok())
        return out;
    out.reserve(bytes.size() * 3 / 2);
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    for (;;) {
        const Step step = convert_run(cd, in, left, out);
        if (step == Step::Done)
            return out;
        out.append(kReplacementChar);
        if (step == Step::Incomplete)
            return out;
        ++in;
        --left;
    }
}

// Valid UTF-8 to the target charset.
std::string encode_from_utf8(std::string_view utf8, const char* to, Unmappable unmappable,
                             std::string_view replacement) {
    std::string out;
    Iconv cd(to, "UTF-8");
    if (!cd.ok())
        return out;
    out.reserve(utf8.size());
    const char* in = utf8.data();
    std::size_t left = utf8.size();
    for (;;) {
        const Step step = convert_run(cd, in, left, out);
        if (step == Step::Done || step == Step::Incomplete || unmappable == Unmappable::Stop)
            return out;
        out.append(replacement);
        const std::size_t skip = std::min(left, utf8_char_length(static_cast<unsigned char>(*in)));
        in += skip;
        left -= skip;
    }
}

} // namespace

std::string recode(std::string_view bytes, const char* from, const char* to, Unmappable unmappable,
                   std::string_view replacement) {
    const std::string utf8 = decode_to_utf8(bytes, from);
    if (std::string_view(to) == "UTF-8")
        return utf8;
    return encode_from_utf8(utf8, to, unmappable, replacement);
}

std::string from_gbk(std::string_view gbk) { return decode_to_utf8(gbk, "GBK"); }

std::string to_gbk(std::string_view utf8) { return recode(utf8, "UTF-8", "GBK", Unmappable::Replace, "?"); }

std::size_t gbk_length(std::string_view utf8) { return to_gbk(utf8).size(); }

} // namespace common
