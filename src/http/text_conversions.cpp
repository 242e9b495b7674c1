#include "http/text_conversions.h"

#include "common/encoding.h"
#include "common/text.h"

#include <opencc/opencc.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <unistd.h>
#include <vector>

namespace http {
namespace {

std::string_view up_to_zero(std::string_view text) { return text.substr(0, text.find('\0')); }

// OpenCC's character table alone, so that each character is mapped on its own: its phrase
// tables would map words instead ("乾隆" would stay "乾隆" where the character gives "干隆").
// OpenCC reads a configuration only from a file; "%s" is the table.
constexpr const char* kCharacterConfig =
    R"({"name": "traditional to simplified, characters only",)"
    R"( "segmentation": {"type": "mmseg", "dict": {"type": "ocd2", "file": "%s"}},)"
    R"( "conversion_chain": [{"dict": {"type": "ocd2", "file": "%s"}}]})";

std::string json_escaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '"' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// Opens the character table `table` (a path, or a name OpenCC finds in its own data folder)
// through a configuration written to a temporary file for the moment of the call.
opencc_t open_character_table(const char* table) {
    const std::string escaped = json_escaped(table);
    std::vector<char> config(std::strlen(kCharacterConfig) + 2 * escaped.size() + 1);
    std::snprintf(config.data(), config.size(), kCharacterConfig, escaped.c_str(), escaped.c_str());
    std::error_code ec;
    std::string file = (std::filesystem::temp_directory_path(ec) / "qicheng-t2s-XXXXXX.json").string();
    if (ec)
        file = "/tmp/qicheng-t2s-XXXXXX.json";
    const int fd = ::mkstemps(file.data(), 5);
    if (fd < 0)
        return nullptr;
    const std::string_view text(config.data());
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    const opencc_t handle = written ? opencc_open(file.c_str()) : nullptr;
    ::unlink(file.c_str());
    return handle;
}

// The character table, loaded once on first use; OpenCC does not promise that one converter
// may be used from two threads at once.
class SimplifiedConverter final {
public:
    SimplifiedConverter() {
        for (const char* table : {QICHENG_OPENCC_CHARACTERS, "TSCharacters.ocd2"}) {
            handle_ = open_character_table(table);
            if (ok())
                break;
        }
    }
    ~SimplifiedConverter() {
        if (ok())
            opencc_close(handle_);
    }
    SimplifiedConverter(const SimplifiedConverter&) = delete;
    SimplifiedConverter& operator=(const SimplifiedConverter&) = delete;

    // Nothing when the tables are missing or the conversion fails.
    std::optional<std::string> convert(std::string_view utf8) {
        if (!ok())
            return std::nullopt;
        std::lock_guard lock(mutex_);
        char* converted = opencc_convert_utf8(handle_, utf8.data(), utf8.size());
        if (!converted)
            return std::nullopt;
        std::string result(converted);
        opencc_convert_utf8_free(converted);
        return result;
    }

private:
    bool ok() const { return handle_ && handle_ != reinterpret_cast<opencc_t>(-1); }

    opencc_t handle_ = nullptr;
    std::mutex mutex_;
};

SimplifiedConverter& simplified_converter() {
    static SimplifiedConverter converter;
    return converter;
}

} // namespace

std::string utf8_to_gbk(std::string_view utf8) { return common::to_gbk(up_to_zero(utf8)); }

std::string big5_to_gbk(std::string_view big5) {
    // Bytes that are not Big5 become U+FFFD when decoding; made "?" first, so only a real
    // character without a GBK form ends the result.
    const std::string utf8 = common::replace_all(
        common::recode(up_to_zero(big5), "CP950", "UTF-8", common::Unmappable::Replace, "?"), "\xEF\xBF\xBD", "?");
    return common::recode(utf8, "UTF-8", "GBK", common::Unmappable::Stop, "");
}

std::string to_simplified(std::string_view gbk) {
    const std::string_view text = up_to_zero(gbk);
    if (text.empty())
        return {};
    const std::optional<std::string> simplified = simplified_converter().convert(common::from_gbk(text));
    return simplified ? std::string(up_to_zero(common::to_gbk(*simplified))) : std::string(text);
}

std::string big5_to_gbk_simplified(std::string_view big5) { return to_simplified(big5_to_gbk(big5)); }

} // namespace http
