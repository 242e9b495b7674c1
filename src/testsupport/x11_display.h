#pragma once
// An X server of the test's own (Xvfb), with a window manager (openbox) when asked for, so that a
// test sees what only a desktop has, frames, placement, activation and global key grabs, without
// needing or disturbing the user's display. Its processes end with the object, and with the test
// when the test crashes.
//
// Display numbers are taken from $QICHENG_TEST_DISPLAYS ("140-149"), else from a number drawn
// from the process ID up to 999; a number in use is passed over.

#include <QProcess>
#include <QString>

namespace testsupport {

class OwnX11Display final {
public:
    // Starts the server on a free display number, then the window manager when asked for.
    explicit OwnX11Display(bool with_window_manager);
    // Stops the window manager and the server.
    ~OwnX11Display();
    OwnX11Display(const OwnX11Display&) = delete;
    OwnX11Display& operator=(const OwnX11Display&) = delete;

    // False when the server (or the window manager asked for) did not come up.
    bool ok() const { return ok_; }
    // ":130"
    const QString& name() const { return name_; }

    // Points this process at the server: DISPLAY, and the xcb platform for the QApplication
    // made afterwards (Qt reads both once).
    void enter() const;

private:
    bool start_server(int first, int last);
    bool start_window_manager();

    QProcess server_;
    QProcess window_manager_;
    QString name_;
    bool ok_ = false;
};

} // namespace testsupport
