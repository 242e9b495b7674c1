#pragma once
// The settings file data/pz.ini: a private-profile (INI) file kept in GBK on disk. Each read
// and write opens the file anew; a write replaces the file atomically.

#include <filesystem>
#include <string>
#include <string_view>

namespace store {

class SettingsFile final {
public:
    explicit SettingsFile(std::filesystem::path file) : file_(std::move(file)) {}

    // Empty text when the file, the section or the key is missing.
    std::string read(const std::string& section, const std::string& key) const;
    // Creates or replaces the key's line, creating the file and the section when missing.
    // False when the file could not be written; callers pass over a failure silently.
    bool write(const std::string& section, const std::string& key, const std::string& value) const;

    const std::filesystem::path& path() const { return file_; }

    // Whether `value` written to a file in GBK reads back byte for byte: false for a character
    // GBK lacks (it would come back as "?"), a line break or NUL byte, or a value longer than a
    // read takes.
    static bool can_hold(std::string_view value);

private:
    std::filesystem::path file_;
};

} // namespace store
