#include "common/paths.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace common {
namespace {

namespace fs = std::filesystem;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string home_of_this_user() {
    if (std::string home = variable("HOME"); !home.empty())
        return home;
    const passwd* entry = ::getpwuid(::geteuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

fs::path executable_dir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

} // namespace

DataDirSources data_dir_sources() {
    return {variable("QICHENG_HOME"), executable_dir(), variable("XDG_DATA_HOME"), home_of_this_user()};
}

fs::path data_dir_for(const DataDirSources& sources) {
    std::error_code ec;
    if (!sources.qicheng_home.empty())
        return fs::absolute(sources.qicheng_home, ec) / "data";
    if (!sources.executable_dir.empty() && fs::is_directory(sources.executable_dir / "data", ec))
        return sources.executable_dir / "data";
    // A relative $XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    fs::path base = sources.xdg_data_home;
    if (base.empty() || base.is_relative())
        base = fs::path(sources.home.empty() ? "/" : sources.home) / ".local" / "share";
    return base / "qicheng" / "data";
}

fs::path data_dir() { return data_dir_for(data_dir_sources()); }

bool ensure_data_dir() { return ensure_private_dir(data_dir()); }

bool ensure_private_dir(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return true;
    const fs::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !ensure_private_dir(parent))
        return false;
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
        return fs::is_directory(folder, ec);
    return false;
}

} // namespace common
