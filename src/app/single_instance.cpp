#include "app/single_instance.h"

#include "common/application.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace app {
namespace {

namespace fs = std::filesystem;

// One request and one answer, each a line.
constexpr char kPresent[] = "present\n";
constexpr char kShown[] = "shown\n";
constexpr qint64 kLineLimit = 64;
// Longest socket path the system takes is 107 bytes; Qt needs a few more for its temporary name.
constexpr std::size_t kSocketPathLimit = 90;

int remaining_ms(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, 60'000));
}

// Asks the program listening on `name` to show itself; true once it says it did.
bool ask_to_present(const QString& name, const QDeadlineTimer& deadline) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(remaining_ms(deadline)))
        return false;
    socket.write(kPresent);
    if (!socket.waitForBytesWritten(remaining_ms(deadline)))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(remaining_ms(deadline)))
            return false;
    return socket.readLine(kLineLimit) == kShown;
}

} // namespace

SingleInstance::SingleInstance(const fs::path& data)
    : data_(data), lock_(QString::fromStdString(lock_file_of(data).string())) {
    // A lock is never stale by age: the program holds it for as long as it runs. A lock whose
    // program has died is still taken over.
    lock_.setStaleLockTime(0);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_.nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] { answer(client); });
        }
    });
}

SingleInstance::~SingleInstance() { server_.close(); }

fs::path SingleInstance::lock_file_of(const fs::path& data) { return data / "qicheng.lock"; }

QString SingleInstance::server_name_of(const fs::path& data) {
    // Beside the lock, so every start over the folder finds it whatever its environment says.
    const fs::path beside = data / "qicheng.socket";
    if (beside.string().size() <= kSocketPathLimit)
        return QString::fromStdString(beside.string());
    // A folder too deep for a socket path: the user's runtime folder, under the folder's hash.
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(data, ec);
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString((ec ? data : canonical).string()),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(24);
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/qicheng-") + QString::number(::geteuid()) + QLatin1Char('-') +
           QString::fromLatin1(hash);
}

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds patience) {
    const QDeadlineTimer deadline(patience);
    const QString name = server_name_of(data_);
    for (;;) {
        if (lock_.tryLock(0)) {
            listen();
            return Claim::first;
        }
        if (lock_.error() != QLockFile::LockFailedError)
            return Claim::unguarded;
        if (ask_to_present(name, deadline))
            return Claim::second;
        if (deadline.hasExpired())
            return Claim::unanswered;
        // The holder is still starting (locked, not listening yet) or has just ended.
        QThread::msleep(50);
    }
}

void SingleInstance::listen() {
    const QString name = server_name_of(data_);
    // We hold the lock, so a socket there was left by a program that died.
    QLocalServer::removeServer(name);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(name))
        std::fprintf(stderr, "%s: cannot listen on %s (%s); a second start cannot reach this one\n",
                     common::kExecutableName, qPrintable(name), qPrintable(server_.errorString()));
}

void SingleInstance::answer(QLocalSocket* client) {
    if (!client->canReadLine()) {
        if (client->bytesAvailable() >= kLineLimit)
            client->abort();
        return;
    }
    if (client->readLine(kLineLimit) == kPresent) {
        Q_EMIT present_requested();
        client->write(kShown);
    }
    client->disconnectFromServer();
}

} // namespace app
