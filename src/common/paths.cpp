#include "common/paths.h"

#include <cstdlib>
#include <system_error>

namespace common {

std::filesystem::path program_home() {
    if (const char* home = std::getenv("QICHENG_HOME"); home && *home)
        return home;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

std::filesystem::path data_dir() { return program_home() / "data"; }

bool ensure_data_dir() {
    std::error_code ec;
    std::filesystem::create_directories(data_dir(), ec);
    return std::filesystem::is_directory(data_dir(), ec);
}

} // namespace common
