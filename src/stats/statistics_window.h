#pragma once
// The window "刷新统计": a bar chart of the day's successes over the last 30 days and a list of
// today's successes per plan. Modeless, so a run goes on underneath it; read afresh each time
// it is opened.

#include <QWidget>

class QLabel;
class QTreeWidget;

namespace common { class Clock; }
namespace store { class PlanStore; }

class QChartView;

namespace stats {

class StatisticsWindow final : public QWidget {
public:
    StatisticsWindow(QWidget* owner, store::PlanStore& store, const common::Clock& clock);

    // Reads the figures and shows the window in front.
    void open();

private:
    void read_figures();

    store::PlanStore& store_;
    const common::Clock& clock_;
    QChartView* chart_view_;
    QLabel* total_;
    QTreeWidget* plans_;
    QLabel* no_plans_;
};

} // namespace stats
