#pragma once
// An X server of the test's own (Xvfb), with a window manager (openbox) when asked for, so that a
// test sees what only a desktop has, frames, placement, activation and global key grabs, without
// needing or disturbing the user's display.

#include <QProcess>
#include <QString>

namespace testsupport {

class OwnX11Display final {
public:
    // Starts the server on a free display number (from QICHENG_TEST_DISPLAYS, "first-last",
    // when set) and points this process at it: DISPLAY, and the xcb platform for the
    // QApplication made afterwards.
    explicit OwnX11Display(bool with_window_manager);
    // Stops the window manager and the server.
    ~OwnX11Display();
    OwnX11Display(const OwnX11Display&) = delete;
    OwnX11Display& operator=(const OwnX11Display&) = delete;

    // False when the server (or the window manager asked for) did not come up.
    bool ok() const { return ok_; }
    // ":130"
    const QString& name() const { return name_; }

private:
    bool start_server(int first, int last);
    bool start_window_manager();

    QProcess server_;
    QProcess window_manager_;
    QString name_;
    bool ok_ = false;
};

} // namespace testsupport
