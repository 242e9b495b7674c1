#pragma once
// Where the program keeps its files: the folder of the executable, or $QICHENG_HOME.

#include <filesystem>

namespace common {

std::filesystem::path program_home();
// program_home()/data, which holds data.db, pz.ini, cookies.txt and the browser profile.
std::filesystem::path data_dir();
// Creates data_dir() when it is missing; false when that fails.
bool ensure_data_dir();

} // namespace common
