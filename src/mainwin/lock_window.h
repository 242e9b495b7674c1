#pragma once
// The lock window "锁定界面": hides the main window until the account password is typed. It is
// modeless, so a run goes on while the program is locked.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

class QLineEdit;

namespace mainwin {

class LockWindow final : public QWidget {
public:
    // `password` is read when "解除锁定" is clicked; `unlocked` runs after a correct password.
    LockWindow(QWidget* owner, std::function<std::string()> password, std::function<void()> unlocked);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void unlock();

    QLineEdit* password_box_;
    std::function<std::string()> password_;
    std::function<void()> unlocked_;
};

// Lock and hide: what "锁定界面" and the hide hot key do to the main window and the lock window.
class LockController final {
public:
    LockController(QWidget& main_window, std::function<std::string()> password);

    // Hides the main window behind a new lock window; refuses (with a message) when no account
    // password is saved, or only blanks, since a lock that an empty text opens protects nothing.
    // The unlock compares the trimmed typed text with the trimmed saved password.
    void lock();
    // The hot key: flips the lock window while one exists, else the main window.
    void toggle_visibility();
    // Shows, raises and activates that same window: while locked the lock window, never the
    // main window.
    void present();
    LockWindow* lock_window() const { return lock_window_; }

private:
    // The program's face: the lock window while one exists, else the main window.
    QWidget& front_window() const;

    QWidget& main_window_;
    std::function<std::string()> password_;
    QPointer<LockWindow> lock_window_;
};

} // namespace mainwin
