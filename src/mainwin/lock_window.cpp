#include "mainwin/lock_window.h"

#include "common/text.h"
#include "uikit/message_box.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace mainwin {

LockWindow::LockWindow(QWidget* owner, std::function<std::string()> password, std::function<void()> unlocked)
    : QWidget(owner, Qt::Window), password_(std::move(password)), unlocked_(std::move(unlocked)) {
    setWindowTitle(QStringLiteral("锁定界面"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(279, 34); // client area of a 285 x 63 window

    auto* label = new QLabel(QStringLiteral("账号密码"), this);
    label->setObjectName(QStringLiteral("标签1"));
    label->setGeometry(4, 6, 60, 18);

    password_box_ = new QLineEdit(this);
    password_box_->setObjectName(QStringLiteral("编辑框1"));
    password_box_->setEchoMode(QLineEdit::Password);
    // Each typed character shows as "*", whatever the style would draw.
    password_box_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    password_box_->setGeometry(70, 3, 126, 24);

    auto* button = new QPushButton(QStringLiteral("解除锁定"), this);
    button->setObjectName(QStringLiteral("按钮1"));
    button->setGeometry(205, 1, 60, 28);
    connect(button, &QPushButton::clicked, this, &LockWindow::unlock);
    connect(password_box_, &QLineEdit::returnPressed, this, &LockWindow::unlock);
}

void LockWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

void LockWindow::unlock() {
    // The saved password is trimmed too: pz.ini keeps blanks around a value (pass="  pw9  "),
    // which nobody types into this box.
    const std::string typed = common::trim_spaces(password_box_->text().toStdString());
    if (typed != common::trim_spaces(password_())) {
        uikit::show_message(this, QStringLiteral("密码错误"));
        return;
    }
    unlocked_();
    hide();
    deleteLater();
}

LockController::LockController(QWidget& main_window, std::function<std::string()> password)
    : main_window_(main_window), password_(std::move(password)) {}

void LockController::lock() {
    if (lock_window_)
        return;
    if (common::trim_spaces(password_()).empty()) {
        uikit::show_message(&main_window_, QStringLiteral("尚未保存账号密码，请先在登录网站中登录一次，再锁定界面"));
        return;
    }
    main_window_.hide();
    // The window is deleted later; forget it now so the hot key goes back to the main window.
    lock_window_ = new LockWindow(&main_window_, password_, [this] {
        lock_window_ = nullptr;
        main_window_.show();
    });
    lock_window_->show();
}

QWidget& LockController::front_window() const {
    return lock_window_ ? static_cast<QWidget&>(*lock_window_) : main_window_;
}

void LockController::toggle_visibility() {
    QWidget& target = front_window();
    target.setVisible(!target.isVisible());
}

void LockController::present() {
    QWidget& target = front_window();
    target.setWindowState(target.windowState() & ~Qt::WindowMinimized);
    target.show();
    target.raise();
    target.activateWindow();
}

} // namespace mainwin
