#pragma once
// The tray icon: the program's icon, a tooltip with the run state and today's total, a click
// that shows or hides the window like the hot key, and a menu of the main window's commands.
// Made only where a tray host runs, or may come: on X11 the icon goes into a host that starts
// later (a program started with the session may be up before the panel). Nothing of it shows
// while no host runs.

#include <QList>
#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace desktop {

struct TrayHooks {
    // What the hot key does: flips the lock window while one exists, else the main window.
    std::function<void()> toggle_window;
    // True while the lock window exists: then only 显示/隐藏 is offered.
    std::function<bool()> locked;
    std::function<void()> start_run;
    std::function<void()> stop_run;
    // Closes the main window through its close question.
    std::function<void()> quit;
};

class TrayIcon final : public QObject {
public:
    // Null where no tray host runs and none can come. `options` go between 停止 and 退出: the
    // menu shows them through items of its own, which follow their check mark and state and
    // trigger them.
    static std::unique_ptr<TrayIcon> create_if_available(TrayHooks hooks, const QList<QAction*>& options);
    TrayIcon(TrayHooks hooks, const QList<QAction*>& options);
    ~TrayIcon() override;

    // "任务执行中" or "任务已经停止", then "今日发布:" and the total.
    void show_run_state(bool running);
    void show_today_total(long long total);

    QSystemTrayIcon& icon() const { return *icon_; }
    QMenu& menu() const { return *menu_; }
    QString tooltip() const;

private:
    void update();

    TrayHooks hooks_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_;
    QAction* toggle_;
    QAction* start_;
    QAction* stop_;
    QAction* quit_;
    struct Mirror {
        QAction* option;
        QAction* item;
    };
    QList<Mirror> mirrors_;
    bool running_ = false;
    long long total_ = 0;
};

} // namespace desktop
