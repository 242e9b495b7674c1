#pragma once
// The system-wide hide hot key Alt+A: a passive key grab on the X11 root window, caught by a
// native event filter. Without an X11 display (Wayland, offscreen) or when another program
// holds the key, registration fails and the program runs without it.

#include <QAbstractNativeEventFilter>
#include <QObject>

namespace mainwin {

class HotKey final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    HotKey();
    ~HotKey() override;
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    // Grabs Alt+A, also with CapsLock, NumLock and both. Returns the hot-key ID, 0 on failure.
    int register_alt_a();
    void unregister();
    int id() const { return id_; }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

Q_SIGNALS:
    void pressed(int id);

private:
    int id_ = 0;
    unsigned keycode_ = 0;
    unsigned numlock_mask_ = 0;
};

} // namespace mainwin
