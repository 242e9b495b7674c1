// The settings file over any content: reads never fail, and a value written is read back
// unchanged. Input: section, "\n", key, "\n", the file's bytes.

#include "fuzz_target.h"

#include "common/text.h"
#include "common/encoding.h"
#include "store/settings.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

const std::filesystem::path& scratch_file() {
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("qicheng_fuzz_settings_" + std::to_string(getpid()) + ".ini");
    return file;
}

} // namespace

QICHENG_FUZZ_TARGET(settings_file) {
    fuzz::Pieces pieces(data, size);
    const std::string section(pieces.next()), key(pieces.next());
    {
        std::ofstream out(scratch_file(), std::ios::binary | std::ios::trunc);
        out.write(pieces.rest().data(), static_cast<std::streamsize>(pieces.rest().size()));
    }
    const store::SettingsFile settings(scratch_file());
    (void)settings.read(section, key);
    (void)settings.read("界面", "编辑框时1");
    (void)settings.read("搜房网", "user");

    // A name that a line of the file can hold: no line breaks, no "=" in a key, no "]" in a
    // section, no blanks around either, valid UTF-8 (the file is GBK).
    const bool plain = [&] {
        if (section.empty() || key.empty() || section.find_first_of("]\r\n") != std::string::npos ||
            key.find_first_of("=[\r\n;") != std::string::npos || common::trim_spaces(section) != section ||
            common::trim_spaces(key) != key)
            return false;
        return common::from_gbk(common::to_gbk(section)) == section && common::from_gbk(common::to_gbk(key)) == key;
    }();
    if (plain && settings.write(section, key, "值 7")) {
        FUZZ_CHECK(settings.read(section, key) == "值 7");
        FUZZ_CHECK(settings.write("界面", "编辑框分1", "30"));
        FUZZ_CHECK(settings.read(section, key) == "值 7");
        FUZZ_CHECK(settings.read("界面", "编辑框分1") == "30");
    }
    std::filesystem::remove(scratch_file());
    return 0;
}
