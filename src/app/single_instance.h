#pragma once
// One program per data folder: two schedulers over one plan database would send every refresh
// twice. The first start holds a lock file in the data folder and listens on a local socket
// named after the folder; a later start over the same folder finds the lock held, asks the
// first one over the socket to show itself, and ends.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <chrono>
#include <filesystem>

class QLocalSocket;

namespace app {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        first,      // this program holds the folder and answers later starts
        second,     // another program holds it and has been asked to show itself
        unanswered, // another program holds it but did not answer in time
        unguarded,  // no lock file could be made (the folder is unusable); nothing to guard
    };

    explicit SingleInstance(const std::filesystem::path& data);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the folder, or asks the program that holds it to show itself. A lock left by a
    // program that died is taken over. `patience` bounds the wait for a first program that is
    // still starting (it holds the lock but does not listen yet) or busy.
    Claim claim(std::chrono::milliseconds patience = std::chrono::seconds(10));

    static std::filesystem::path lock_file_of(const std::filesystem::path& data);
    // The local socket of the program that holds `data`: private to this user, one per folder.
    static QString server_name_of(const std::filesystem::path& data);

Q_SIGNALS:
    // A later start over the same folder asked this program to show itself.
    void present_requested();

private:
    void listen();
    void answer(QLocalSocket* client);

    const std::filesystem::path data_;
    QLockFile lock_;
    QLocalServer server_;
};

} // namespace app
