#pragma once
// Where the program keeps its files. In this order: $QICHENG_HOME/data when that variable is
// set; data/ beside the executable when that folder exists (a portable copy, or a folder brought
// over from the old program); else the user's own $XDG_DATA_HOME/qicheng/data (by default
// ~/.local/share/qicheng/data). An installed program thus never writes beside its executable.

#include <filesystem>
#include <string>

namespace common {

// What the choice depends on; the program reads it from its process, tests make their own.
struct DataDirSources {
    std::string qicheng_home;  // $QICHENG_HOME, empty when unset
    std::filesystem::path executable_dir;
    std::string xdg_data_home; // $XDG_DATA_HOME, empty when unset
    std::string home;          // $HOME, else the user's home from the password database
};

DataDirSources data_dir_sources();
std::filesystem::path data_dir_for(const DataDirSources& sources);

// The data folder of this process, which holds data.db, pz.ini, cookies.txt and the browser profile.
std::filesystem::path data_dir();
// Creates data_dir() when it is missing; false when that fails.
bool ensure_data_dir();
// Creates `folder` and every missing folder above it, each readable by its owner only, since
// the data folder holds the site account and its cookies. Folders that exist keep their mode.
bool ensure_private_dir(const std::filesystem::path& folder);

} // namespace common
