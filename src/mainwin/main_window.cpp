#include "mainwin/main_window.h"

#include "common/clock.h"
#include "desktop/tray_icon.h"
#include "mainwin/desktop_parts.h"
#include "mainwin/lock_window.h"
#include "mainwin/operation_log.h"
#include "mainwin/plan_list.h"
#include "mainwin/shutdown_timer.h"
#include "mainwin/status_panes.h"
#include "store/plan_store.h"
#include "uikit/message_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace mainwin {
namespace {

constexpr int kClientWidth = 862;
constexpr int kClientHeight = 475;
constexpr int kStatusBarHeight = 20;

QPushButton* make_button(QWidget* parent, const char* name, const char* caption, QRect place) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(place);
    return button;
}

} // namespace

MainWindow::MainWindow(MainWindowDeps deps)
    : deps_(std::move(deps)), run_loop_(deps_.clock, deps_.store, deps_.refresher, *this) {
    setWindowTitle(QStringLiteral("栖橙"));
    // The client area, sized so that a usual window frame makes it about 870 x 513 outside.
    setFixedSize(kClientWidth, kClientHeight);
    hot_key_id_ = hot_key_.register_alt_a();
    connect(&hot_key_, &HotKey::pressed, this, &MainWindow::on_hot_key);
    build_controls();

    database_open_ = deps_.store.open(deps_.database_file);
    if (!database_open_)
        uikit::show_message(this, QStringLiteral("数据库连接失败"));
}

MainWindow::~MainWindow() {
    // Only reached once the run has unwound (closing waits for it); dropping the flag keeps a
    // stray nested loop from going on with a window that is gone.
    run_loop_.stop();
}

void MainWindow::build_controls() {
    auto* frame = new QGroupBox(QStringLiteral("方案列表  勾选ID右键可删除方案"), this);
    frame->setObjectName(QStringLiteral("分组框1"));
    frame->setGeometry(0, 3, 458, 397);

    plans_ = new PlanList(frame, deps_.store);
    plans_->view()->setGeometry(1, 21, 455, 373);
    plans_->on_double_click([this] {
        const int row = plans_->selected_row();
        if (row != -1)
            open_plan_editor(plans_->name_at(row));
    });

    hot_key_label_ = new QLabel(frame);
    hot_key_label_->setObjectName(QStringLiteral("标签1"));
    hot_key_label_->setGeometry(312, 213, 96, 32);
    hot_key_label_->hide();

    log_ = new OperationLog(this);
    log_->setGeometry(459, 11, 403, 386);

    auto* login = make_button(this, "按钮登录网站", "登录网站", {5, 400, 80, 32});
    connect(login, &QPushButton::clicked, this, [this] {
        if (deps_.open_site_login)
            deps_.open_site_login(this);
    });
    auto* settings = make_button(this, "按钮刷新设置", "方案设置", {101, 400, 80, 32});
    connect(settings, &QPushButton::clicked, this, [this] { open_plan_editor({}); });
    start_button_ = make_button(this, "按钮开始操作", "开始操作", {212, 400, 80, 32});
    connect(start_button_, &QPushButton::clicked, this, &MainWindow::start_run);
    auto* stop = make_button(this, "按钮停止", "停止", {317, 400, 80, 32});
    connect(stop, &QPushButton::clicked, this, [this] { run_loop_.stop(); });

    shutdown_time_ = new QDateTimeEdit(this);
    shutdown_time_->setObjectName(QStringLiteral("日期框1"));
    shutdown_time_->setGeometry(464, 401, 168, 24);
    shutdown_time_->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    shutdown_time_->setDisplayFormat(QStringLiteral("yyyy/MM/dd HH:mm:ss ddd"));
    shutdown_time_->setCalendarPopup(true);
    shutdown_time_->setDateTime(QDateTime::fromMSecsSinceEpoch(deps_.clock.now_ms()));

    shutdown_check_ = new QCheckBox(QStringLiteral("定时关机"), this);
    shutdown_check_->setObjectName(QStringLiteral("选择框1"));
    shutdown_check_->setGeometry(632, 400, 104, 24);

    lock_button_ = make_button(this, "按钮锁定界面", "锁定界面", {775, 400, 77, 24});
    lock_ = std::make_unique<LockController>(*this, [this] {
        return deps_.unlock_password ? deps_.unlock_password() : std::string();
    });
    connect(lock_button_, &QPushButton::clicked, this, [this] { lock_->lock(); });

    // Docked along the bottom like any status bar: at its design place (0, 425) it would
    // cover the lower edge of the four big buttons above it.
    panes_ = new StatusPanes(this);
    panes_->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);

    clock_timer_ = new QTimer(this);
    clock_timer_->setObjectName(QStringLiteral("时钟1"));
    clock_timer_->setInterval(1000);
    connect(clock_timer_, &QTimer::timeout, this, &MainWindow::clock_ticked);
    shutdown_ = std::make_unique<ShutdownTimer>(*shutdown_check_, *shutdown_time_, panes_->pane(3), deps_.clock,
                                                 deps_.power_off, this);
    connect(clock_timer_, &QTimer::timeout, this, [this] { shutdown_->tick(); });
    clock_timer_->start();

    desktop_ = std::make_unique<DesktopParts>(
        *this, *plans_->menu(), deps_.settings, deps_.store, deps_.clock,
        desktop::TrayHooks{.toggle_window = [this] { lock_->toggle_visibility(); },
                           .locked = [this] { return lock_->lock_window() != nullptr; },
                           .start_run = [this] { press_start_later(); },
                           .stop_run = [this] { run_loop_.stop(); },
                           .quit = [this] { close(); }});
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The first showing stands for the first activation: a window shown where nothing gives
    // it the focus (no window manager, the offscreen platform) is never activated.
    if (!activated_ && database_open_) {
        activated_ = true;
        // Queued, so the window is on screen while the list is read.
        QMetaObject::invokeMethod(this, &MainWindow::first_activation, Qt::QueuedConnection);
    }
}

void MainWindow::first_activation() {
    plans_->reload();
    show_today_total(deps_.store.read_today_total(common::date_text(deps_.clock.local_now())));
    if (desktop_->options().autorun_on())
        press_start_later();
}

// As a press of 开始操作, once the caller has returned to the event loop.
void MainWindow::press_start_later() {
    QMetaObject::invokeMethod(start_button_, &QPushButton::click, Qt::QueuedConnection);
}

void MainWindow::reload_plan_list() { plans_->reload(); }

void MainWindow::present() { lock_->present(); }

void MainWindow::on_hot_key(int id) {
    if (id == hot_key_id_)
        lock_->toggle_visibility();
}

void MainWindow::start_run() {
    run_loop_.start();
    // A start from inside a run returns at once; only the outermost one closes the window.
    if (close_after_run_ && !run_loop_.in_run()) {
        close_confirmed_ = true;
        close();
    }
}

void MainWindow::open_plan_editor(std::string plan_name) {
    edited_plan_name_ = std::move(plan_name);
    if (!deps_.open_plan_editor)
        return;
    deps_.open_plan_editor(this, edited_plan_name_);
    plans_->reload();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (close_confirmed_) {
        close_confirmed_ = close_after_run_ = false;
        accept_close(event);
        return;
    }
    if (close_after_run_ || !uikit::ask_yes_no(this, QStringLiteral("确认要关闭软件吗？"))) {
        event->ignore();
        return;
    }
    if (run_loop_.in_run()) {
        // The run loop is working inside the start button's handler with this window's
        // controls; the window goes once the loop has finished its plan and unwound.
        close_after_run_ = true;
        run_loop_.stop();
        event->ignore();
        return;
    }
    accept_close(event);
}

void MainWindow::accept_close(QCloseEvent* event) {
    event->accept();
    // Closing a hidden window (from the tray) closes no last visible window, so Qt would go on.
    if (isHidden())
        QCoreApplication::quit();
}

QString MainWindow::pane_text(int pane) const { return panes_->text(pane); }

void MainWindow::show_pane_text(int pane, const QString& text) { panes_->set_text(pane, text); }

std::string MainWindow::log_text() const { return log_->text(); }

int MainWindow::plan_row_count() const { return plans_->row_count(); }

std::string MainWindow::plan_name_at(int row) const { return plans_->name_at(row); }

void MainWindow::show_run_state(const std::string& text) { panes_->set_text(1, QString::fromStdString(text)); }

void MainWindow::show_today_total(long long total) {
    panes_->set_text(2, QStringLiteral("今日发布:") + QString::number(total));
    desktop_->show_today_total(total);
}

void MainWindow::show_plan_today(const std::string& nick, long long count) { plans_->show_today(nick, count); }

void MainWindow::append_log_line(const std::string& line) { log_->append_text(line); }

void MainWindow::set_start_enabled(bool enabled) {
    start_button_->setEnabled(enabled);
    start_button_->repaint();
    desktop_->show_run_state(!enabled);
}

} // namespace mainwin
