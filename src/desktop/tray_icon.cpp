#include "desktop/tray_icon.h"

#include "common/application.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

namespace desktop {
namespace {

// The application's window icon; else the themed icon of the application ID; else a plain one
// (a tray icon without an image is an empty square nobody can find).
QIcon program_icon() {
    QIcon icon = QGuiApplication::windowIcon();
    if (icon.isNull())
        icon = QIcon::fromTheme(QString::fromUtf8(common::kApplicationId));
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
    return icon;
}

} // namespace

std::unique_ptr<TrayIcon> TrayIcon::create_if_available(TrayHooks hooks, const QList<QAction*>& options) {
    // X11 embeds the icon whenever a host takes the tray selection; elsewhere (Wayland, the
    // offscreen platform) a host is one of the session bus, there now or never.
    if (!QSystemTrayIcon::isSystemTrayAvailable() && QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    return std::make_unique<TrayIcon>(std::move(hooks), options);
}

TrayIcon::TrayIcon(TrayHooks hooks, const QList<QAction*>& options)
    : hooks_(std::move(hooks)), menu_(std::make_unique<QMenu>()), icon_(new QSystemTrayIcon(this)) {
    menu_->setObjectName(QStringLiteral("托盘菜单"));
    toggle_ = menu_->addAction(QStringLiteral("显示/隐藏"));
    start_ = menu_->addAction(QStringLiteral("开始操作"));
    stop_ = menu_->addAction(QStringLiteral("停止"));
    menu_->addSeparator();
    // The options are shared with other menus, whose enabled state the lock must not change.
    for (QAction* option : options) {
        QAction* item = menu_->addAction(option->text());
        item->setCheckable(option->isCheckable());
        connect(item, &QAction::triggered, option, [option] { option->trigger(); });
        connect(option, &QAction::changed, this, &TrayIcon::update);
        mirrors_.push_back({option, item});
    }
    menu_->addSeparator();
    quit_ = menu_->addAction(QStringLiteral("退出"));
    connect(toggle_, &QAction::triggered, this, [this] { hooks_.toggle_window(); });
    connect(start_, &QAction::triggered, this, [this] { hooks_.start_run(); });
    connect(stop_, &QAction::triggered, this, [this] { hooks_.stop_run(); });
    connect(quit_, &QAction::triggered, this, [this] { hooks_.quit(); });
    connect(menu_.get(), &QMenu::aboutToShow, this, &TrayIcon::update);

    icon_->setIcon(program_icon());
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            hooks_.toggle_window();
    });
    update();
    icon_->show();
}

// The icon goes before its menu.
TrayIcon::~TrayIcon() { delete icon_; }

void TrayIcon::show_run_state(bool running) {
    running_ = running;
    update();
}

void TrayIcon::show_today_total(long long total) {
    total_ = total;
    update();
}

QString TrayIcon::tooltip() const {
    return (running_ ? QStringLiteral("任务执行中") : QStringLiteral("任务已经停止")) + u'\n' +
           QStringLiteral("今日发布:") + QString::number(total_);
}

void TrayIcon::update() {
    icon_->setToolTip(tooltip());
    // A locked program offers nothing but the lock window; and while a modal window is up, the
    // main window's own buttons cannot be reached either, so a run is not started, nor the
    // program closed, from underneath it.
    const bool locked = hooks_.locked();
    const bool modal = QApplication::activeModalWidget() != nullptr;
    start_->setEnabled(!locked && !modal && !running_);
    stop_->setEnabled(!locked);
    quit_->setEnabled(!locked && !modal);
    for (const Mirror& mirror : mirrors_) {
        mirror.item->setChecked(mirror.option->isChecked());
        mirror.item->setEnabled(!locked && mirror.option->isEnabled());
    }
}

} // namespace desktop
