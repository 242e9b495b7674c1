#include "site-sim/simulator.h"

#include "common/text.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#ifndef QICHENG_SITE_SIM_SCRIPT
#define QICHENG_SITE_SIM_SCRIPT ""
#endif

namespace sitesim {
namespace {

constexpr int kStartLimitMs = 15000;
constexpr int kExchangeLimitMs = 10000;

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

std::string script_path() {
    if (const char* source = std::getenv("QICHENG_SOURCE_DIR"); source && *source) {
        const auto path = std::filesystem::path(source) / "tools" / "site-sim" / "site_sim.py";
        if (std::filesystem::exists(path))
            return path.string();
    }
    return QICHENG_SITE_SIM_SCRIPT;
}

// The simulator writes raw bytes as JSON strings of code points 0..255.
std::string bytes_of(const QJsonValue& value) {
    const QByteArray latin = value.toString().toLatin1();
    return std::string(latin.constData(), static_cast<std::size_t>(latin.size()));
}

std::string base64_bytes(const QJsonValue& value) {
    const QByteArray decoded = QByteArray::fromBase64(value.toString().toLatin1());
    return std::string(decoded.constData(), static_cast<std::size_t>(decoded.size()));
}

class Socket final {
public:
    Socket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool connect_to(int port) {
        if (fd_ < 0)
            return false;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    bool send_all(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // Everything until the peer closes, an error, or the deadline.
    std::string receive_all(std::chrono::milliseconds limit) {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        char buffer[65536];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd waiting{fd_, POLLIN, 0};
            const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            received.append(buffer, static_cast<std::size_t>(got));
        }
        return received;
    }

private:
    int fd_;
};

} // namespace

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (same_ignoring_case(key, name))
            return value;
    return {};
}

bool RecordedRequest::has_header(std::string_view name) const {
    for (const auto& entry : headers)
        if (same_ignoring_case(entry.first, name))
            return true;
    return false;
}

std::string RecordedRequest::path() const { return target.substr(0, target.find('?')); }

Simulator::Simulator() = default;

Simulator::~Simulator() { stop(); }

bool Simulator::start() {
    if (running())
        return true;
    const std::string script = script_path();
    if (script.empty() || !std::filesystem::exists(script)) {
        std::fprintf(stderr, "site simulator: script not found (%s)\n", script.c_str());
        return false;
    }
    process_ = std::make_unique<QProcess>();
    // Its tracebacks belong in the test's own output.
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start(QStringLiteral("python3"),
                    {QString::fromStdString(script), QStringLiteral("--port"), QStringLiteral("0"),
                     QStringLiteral("--watch-stdin")});
    if (!process_->waitForStarted(kStartLimitMs)) {
        std::fprintf(stderr, "site simulator: python3 did not start\n");
        process_.reset();
        return false;
    }
    const QDeadlineTimer deadline(kStartLimitMs);
    while (!deadline.hasExpired() && process_->state() == QProcess::Running) {
        if (!process_->canReadLine()) {
            process_->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
            continue;
        }
        const QByteArray line = process_->readLine().trimmed();
        if (line.startsWith("PORT ")) {
            bool ok = false;
            port_ = line.mid(5).toInt(&ok);
            if (ok && port_ > 0)
                return true;
            break;
        }
    }
    std::fprintf(stderr, "site simulator: no port announced\n");
    stop();
    return false;
}

void Simulator::stop() {
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        // Closing its standard input is the simulator's signal to end.
        process_->closeWriteChannel();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    process_.reset();
    port_ = 0;
}

bool Simulator::running() const { return process_ && process_->state() == QProcess::Running && port_ > 0; }

std::string Simulator::host() const { return "127.0.0.1:" + std::to_string(port_); }

std::string Simulator::url(std::string_view path_and_query) const {
    return "http://" + host() + std::string(path_and_query);
}

std::string Simulator::percent_encode(std::string_view bytes) { return common::percent_encode(bytes); }

std::string Simulator::send_raw(std::string_view request_bytes) const {
    Socket socket;
    if (port_ <= 0 || !socket.connect_to(port_) || !socket.send_all(request_bytes))
        return {};
    return socket.receive_all(std::chrono::milliseconds(kExchangeLimitMs));
}

bool Simulator::control(const std::string& path_and_query, std::string* body) const {
    const std::string answer = send_raw("GET /__sim/" + path_and_query + " HTTP/1.1\r\nHost: " + host() +
                                        "\r\nConnection: close\r\n\r\n");
    const std::size_t head_end = answer.find("\r\n\r\n");
    if (head_end == std::string::npos || !answer.starts_with("HTTP/1.1 200 "))
        return false;
    if (body)
        *body = answer.substr(head_end + 4);
    return true;
}

bool Simulator::set_knob(const std::string& name, const std::string& value) {
    return control("knob?name=" + percent_encode(name) + "&value=" + percent_encode(value));
}

bool Simulator::reset() { return control("reset"); }

bool Simulator::clear_requests() { return control("requests?clear=1"); }

std::vector<RecordedRequest> Simulator::requests() {
    std::string body;
    std::vector<RecordedRequest> result;
    if (!control("requests", &body))
        return result;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(body.data(), static_cast<qsizetype>(body.size())));
    for (const QJsonValue& item : document.array()) {
        const QJsonObject object = item.toObject();
        RecordedRequest request;
        request.method = bytes_of(object.value(QStringLiteral("method")));
        request.target = bytes_of(object.value(QStringLiteral("target")));
        request.version = bytes_of(object.value(QStringLiteral("version")));
        request.body = base64_bytes(object.value(QStringLiteral("body_b64")));
        request.raw_head = base64_bytes(object.value(QStringLiteral("raw_head_b64")));
        request.connection = object.value(QStringLiteral("connection")).toInt();
        request.received_at = object.value(QStringLiteral("time")).toDouble();
        for (const QJsonValue& pair : object.value(QStringLiteral("headers")).toArray()) {
            const QJsonArray entry = pair.toArray();
            request.headers.emplace_back(bytes_of(entry.at(0)), bytes_of(entry.at(1)));
        }
        result.push_back(std::move(request));
    }
    return result;
}

SessionCookie Simulator::sign_in(const std::string& user) {
    std::string body;
    if (!control("login?user=" + percent_encode(user), &body))
        return {};
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray(body.data(), static_cast<qsizetype>(body.size()))).object();
    return {object.value(QStringLiteral("name")).toString().toStdString(),
            object.value(QStringLiteral("value")).toString().toStdString()};
}

bool Simulator::sign_out_everywhere() { return control("sign_out"); }

std::string Simulator::respond_url(int status, const std::vector<std::string>& header_lines,
                                   std::string_view body) const {
    std::string address = url("/__sim/respond?status=" + std::to_string(status));
    for (const auto& line : header_lines)
        address += "&header=" + percent_encode(line);
    address += "&body=" + percent_encode(body);
    return address;
}

std::string Simulator::netscape_cookie_line(const SessionCookie& cookie) const {
    // Host-only, every path, not secure, a session cookie; the prefix keeps its HttpOnly flag.
    return "#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\t" + cookie.name + "\t" + cookie.value;
}

} // namespace sitesim
