#pragma once
// What the run loop and the counters read from and write to the main window.

#include <string>

namespace engine {

class RunView {
public:
    virtual ~RunView() = default;
    virtual int plan_row_count() const = 0;
    // Column 1 of the row; empty text for a row that no longer exists.
    virtual std::string plan_name_at(int row) const = 0;
    // Status pane 1.
    virtual void show_run_state(const std::string& text) = 0;
    // Status pane 2 ("今日发布:" + total).
    virtual void show_today_total(long long total) = 0;
    // Column 3 of the first row whose column 1 equals `nick`; nothing when there is none.
    virtual void show_plan_today(const std::string& nick, long long count) = 0;
    // Appends one complete line (time stamp, two blanks, message, CR LF) to the log.
    virtual void append_log_line(const std::string& line) = 0;
    // Enables or disables the start button; the loop lets it repaint.
    virtual void set_start_enabled(bool enabled) = 0;
};

} // namespace engine
