#pragma once
// The plan list `超级列表框1`: one row per row of table `data` (number from 1, name, refreshes
// per day, refreshed today), a check box on each row, and its pop-up menu "右键".

#include "mainwin/paint_pacer.h"

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace store { class PlanStore; }

namespace mainwin {

class PlanList final : public QObject {
public:
    // Creates the list view inside `frame`.
    PlanList(QWidget* frame, store::PlanStore& store);

    QTreeWidget* view() const { return view_; }
    // The pop-up menu "右键"; other items may follow the designed five.
    QMenu* menu() const { return menu_; }

    // Rebuilds the rows from table `data`, letting pending events run after each row.
    void reload();

    int row_count() const;
    // Column 1 of the row; empty text for a row that does not exist.
    std::string name_at(int row) const;
    // Writes `count` into column 3 of the first row named `nick`; nothing when there is none.
    // Counts written close behind each other are painted together.
    void show_today(const std::string& nick, long long count);

    void tick_all();
    void invert_ticks();
    void untick_all();
    // Deletes every plan whose name is on a ticked row, then reloads.
    void delete_ticked();

    // Index of the selected row, -1 when none is selected.
    int selected_row() const;
    // Called on a double click anywhere in the list.
    void on_double_click(std::function<void()> handler) { double_click_ = std::move(handler); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* row(int index) const;
    void show_menu(const QPoint& pos);

    store::PlanStore& store_;
    QTreeWidget* view_;
    QMenu* menu_;
    std::function<void()> double_click_;
    PaintPacer painting_;
    // Column 1 of every row as the run loop reads it, several thousand times a second; the
    // rows change only in reload(), which keeps this in step.
    std::vector<std::string> names_;
    // Bumped by every reload, so one that ran inside another's event processing is noticed.
    unsigned reload_generation_ = 0;
};

} // namespace mainwin
