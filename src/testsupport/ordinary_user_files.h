#pragma once
// Root passes over file permissions, and the tests run as root in CI. While an OrdinaryUserFiles
// lives, file access of the thread that made it is checked as an ordinary user's, and the folder
// it was given, with everything in it, belongs to that user; so a file the test makes unreadable
// is unreadable. Run as anyone else it does nothing: the permissions hold already.

#include <filesystem>
#include <sys/fsuid.h>
#include <unistd.h>

namespace testsupport {

class OrdinaryUserFiles final {
public:
    explicit OrdinaryUserFiles(const std::filesystem::path& folder) {
        if (geteuid() != 0)
            return;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            (void)lchown(entry.path().c_str(), kUser, kUser);
        (void)lchown(folder.c_str(), kUser, kUser);
        setfsuid(kUser);
        setfsgid(kUser);
        active_ = true;
    }
    ~OrdinaryUserFiles() {
        if (active_) {
            setfsuid(0);
            setfsgid(0);
        }
    }
    OrdinaryUserFiles(const OrdinaryUserFiles&) = delete;
    OrdinaryUserFiles& operator=(const OrdinaryUserFiles&) = delete;

private:
    // nobody
    static constexpr uid_t kUser = 65534;
    bool active_ = false;
};

} // namespace testsupport
