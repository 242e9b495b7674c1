#include "testsupport/x11_display.h"

#include "testsupport/child_process.h"

#include <QFileInfo>
#include <QProcessEnvironment>

#include <cstdlib>
#include <unistd.h>
#include <utility>
#include <xcb/xcb.h>

namespace testsupport {
namespace {

bool socket_exists(int number) { return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)); }

// A number whose lock or socket exists belongs to another server, or to one that crashed.
bool in_use(int number) { return QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) || socket_exists(number); }

std::pair<int, int> display_range() {
    const QList<QByteArray> ends = qgetenv("QICHENG_TEST_DISPLAYS").split('-');
    if (ends.size() == 2 && ends[0].toInt() > 0 && ends[1].toInt() >= ends[0].toInt())
        return {ends[0].toInt(), ends[1].toInt()};
    return {100 + static_cast<int>(getpid() % 400), 999};
}

// The socket appears a moment before the server takes connections.
bool accepts_connections(const QString& display) {
    xcb_connection_t* c = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    const bool connected = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    return connected;
}

// Whether a window manager has announced itself on the root window (EWMH).
bool window_manager_running(const QString& display) {
    xcb_connection_t* c = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    bool running = false;
    if (!xcb_connection_has_error(c)) {
        const char name[] = "_NET_SUPPORTING_WM_CHECK";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
        if (atom && atom->atom != XCB_ATOM_NONE) {
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
            xcb_get_property_reply_t* property = xcb_get_property_reply(
                c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
            running = property && xcb_get_property_value_length(property) > 0;
            std::free(property);
        }
        std::free(atom);
    }
    xcb_disconnect(c);
    return running;
}

} // namespace

OwnX11Display::OwnX11Display(bool with_window_manager) {
    for (QProcess* process : {&server_, &window_manager_}) {
        end_with_this_process(*process);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
    }
    const auto [first, last] = display_range();
    ok_ = start_server(first, last) && (!with_window_manager || start_window_manager());
}

OwnX11Display::~OwnX11Display() {
    for (QProcess* process : {&window_manager_, &server_}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        // Killed, the server would leave its lock and socket behind.
        if (!process->waitForFinished(15000))
            process->kill();
    }
}

void OwnX11Display::enter() const {
    qputenv("DISPLAY", name_.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
}

bool OwnX11Display::start_server(int first, int last) {
    for (int n = first; n <= last; ++n) {
        if (in_use(n))
            continue;
        name_ = QStringLiteral(":%1").arg(n);
        // -noreset: the server would otherwise reset, refusing connections for a moment, each
        // time its last client (such as the readiness probes here) disconnects.
        server_.start(QStringLiteral("Xvfb"), {name_, QStringLiteral("-noreset"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                               QStringLiteral("-screen"), QStringLiteral("0"),
                                               QStringLiteral("1024x768x24")});
        if (!server_.waitForStarted(5000))
            return false;
        // Another server may have taken the number in between: this one then ends at once.
        const auto up = [&] { return server_.state() == QProcess::Running && socket_exists(n) && accepts_connections(name_); };
        if (wait_until([&] { return up() || server_.state() == QProcess::NotRunning; }, 10000) && up())
            return true;
        server_.kill();
        server_.waitForFinished(3000);
    }
    return false;
}

bool OwnX11Display::start_window_manager() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), name_);
    window_manager_.setProcessEnvironment(environment);
    window_manager_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    return window_manager_.waitForStarted(5000) && wait_until([&] { return window_manager_running(name_); }, 10000);
}

} // namespace testsupport
