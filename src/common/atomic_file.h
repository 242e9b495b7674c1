#pragma once
// Saving a whole file so that a reader, a crash or a power cut finds the old file or the new
// one, never half of one. Every file the program rewrites goes through here.

#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace common {

// Writes `bytes` to a new file beside `target`, brings it to the disk and renames it over
// `target`, then brings the folder to the disk so that the rename survives a power cut too. A
// symbolic link stays: the file it points to is replaced. An existing file keeps its owner
// (where the system lets us) and those of its permission bits that are in `kept_bits`; a new
// file gets `new_file_mode` less the umask. False when the file could not be saved; `target`
// is then as it was and no temporary file is left.
bool save_file_atomically(const std::filesystem::path& target, std::string_view bytes, mode_t new_file_mode,
                          mode_t kept_bits = 07777);

} // namespace common
