#include "common/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace common {
namespace {

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A new file beside `target` that no other writer uses, opened for writing; -1 when none could
// be made.
int create_temporary(const std::filesystem::path& target, mode_t mode, std::filesystem::path& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Appended piece by piece: GCC 12 at -O3 misreads "literal" + std::string as an
        // overlapping copy (-Wrestrict).
        temp = target;
        temp += '.';
        temp += std::to_string(::getpid());
        temp += '.';
        temp += std::to_string(counter++);
        temp += ".tmp";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void sync_folder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    if (const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool save_file_atomically(const std::filesystem::path& file, std::string_view bytes, mode_t new_file_mode,
                          mode_t kept_bits) {
    std::error_code ec;
    std::filesystem::path target = file;
    // Replacing a link would cut it; the file it points to is the one to replace.
    if (std::filesystem::is_symlink(target, ec)) {
        target = std::filesystem::canonical(file, ec);
        if (ec)
            return false;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return false;

    std::filesystem::path temp;
    const int fd = create_temporary(target, new_file_mode, temp);
    if (fd < 0)
        return false;
    bool ok = write_all(fd, bytes);
    if (ok && exists) {
        ok = ::fchmod(fd, old.st_mode & kept_bits & 07777) == 0;
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid); // only root can, and may
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(temp.c_str(), target.c_str()) == 0) {
        sync_folder(target);
        return true;
    }
    ::unlink(temp.c_str());
    return false;
}

} // namespace common
