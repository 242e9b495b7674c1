#pragma once
// The main window "栖橙": the plan list, the operation log, start and stop of the run loop,
// and the controls of the scheduled shutdown and the lock window.

#include "engine/run_loop.h"
#include "engine/run_view.h"
#include "mainwin/hot_key.h"
#include "mainwin/main_window_deps.h"

#include <QWidget>
#include <memory>
#include <string>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QTimer;

namespace mainwin {

class DesktopParts;
class LockController;
class OperationLog;
class ShutdownTimer;
class PlanList;
class StatusPanes;

class MainWindow final : public QWidget, public engine::RunView {
    Q_OBJECT
public:
    // Builds the controls and opens the plan database; when that fails the user is told
    // "数据库连接失败" and database_open() is false, and the window must not be used.
    explicit MainWindow(MainWindowDeps deps);
    ~MainWindow() override;

    bool database_open() const { return database_open_; }

    engine::RunLoop& run_loop() { return run_loop_; }
    // The plan the plan editor loads; empty for a new plan.
    const std::string& edited_plan_name() const { return edited_plan_name_; }
    void reload_plan_list();
    // Brings the program to the front, as a second start asks: the lock window while locked.
    void present();

    // Status pane text by index (0..3); pane 3 belongs to the scheduled shutdown.
    QString pane_text(int pane) const;
    void show_pane_text(int pane, const QString& text);
    // The whole log, CR LF line ends.
    std::string log_text() const;

    QDateTimeEdit* shutdown_time_box() const { return shutdown_time_; }
    QCheckBox* shutdown_check_box() const { return shutdown_check_; }
    QPushButton* lock_button() const { return lock_button_; }
    QLabel* hot_key_label() const { return hot_key_label_; }
    QTimer* clock_timer() const { return clock_timer_; }
    // 0 when the hide hot key could not be registered.
    int hot_key_id() const { return hot_key_id_; }
    LockController& lock_controller() { return *lock_; }
    ShutdownTimer& shutdown_timer() { return *shutdown_; }
    DesktopParts& desktop_parts() { return *desktop_; }

    // engine::RunView
    int plan_row_count() const override;
    std::string plan_name_at(int row) const override;
    void show_run_state(const std::string& text) override;
    void show_today_total(long long total) override;
    void show_plan_today(const std::string& nick, long long count) override;
    void append_log_line(const std::string& line) override;
    void set_start_enabled(bool enabled) override;

Q_SIGNALS:
    // Every second, from the timer `时钟1`, for as long as the window exists.
    void clock_ticked();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build_controls();
    void first_activation();
    void start_run();
    void press_start_later();
    void accept_close(QCloseEvent* event);
    void open_plan_editor(std::string plan_name);
    void on_hot_key(int id);

    MainWindowDeps deps_;
    engine::RunLoop run_loop_;
    HotKey hot_key_;
    int hot_key_id_ = 0;
    std::unique_ptr<LockController> lock_;
    std::unique_ptr<ShutdownTimer> shutdown_;
    std::unique_ptr<DesktopParts> desktop_;
    PlanList* plans_ = nullptr;
    OperationLog* log_ = nullptr;
    StatusPanes* panes_ = nullptr;
    QPushButton* start_button_ = nullptr;
    QPushButton* lock_button_ = nullptr;
    QDateTimeEdit* shutdown_time_ = nullptr;
    QCheckBox* shutdown_check_ = nullptr;
    QLabel* hot_key_label_ = nullptr;
    QTimer* clock_timer_ = nullptr;

    std::string edited_plan_name_;
    bool database_open_ = false;
    bool activated_ = false;
    // The user said Yes to closing while a run was in progress: close once it has ended.
    bool close_after_run_ = false;
    bool close_confirmed_ = false;
};

} // namespace mainwin
