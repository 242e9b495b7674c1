#include "stats/statistics_window.h"

#include "stats/daily_figures.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace stats {
namespace {

constexpr int kDays = 30;

QString qt_text(const std::string& text) { return QString::fromStdString(text); }

// A bar chart of `days`, its axis at least 0 to 5 so an empty month still has a scale.
QChart* make_chart(const std::vector<DayCount>& days, const QFont& font) {
    auto* chart = new QChart;
    auto* set = new QBarSet(QStringLiteral("成功刷新"));
    QStringList dates;
    long long highest = 0;
    for (const DayCount& day : days) {
        *set << static_cast<qreal>(day.count);
        dates << qt_text(day.date);
        highest = std::max(highest, day.count);
    }
    auto* series = new QBarSeries;
    series->append(set);
    // Upright, so a figure of several digits fits over a bar a thirtieth of the chart wide.
    series->setLabelsVisible(true);
    series->setLabelsAngle(-90);
    series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
    set->setLabelColor(Qt::white);
    set->setLabelFont(font);
    chart->addSeries(series);

    auto* dates_axis = new QBarCategoryAxis;
    dates_axis->append(dates);
    dates_axis->setLabelsAngle(-90);
    // Turned upright a date fits; measured across a bar's width it would be cut to "…".
    dates_axis->setTruncateLabels(false);
    dates_axis->setLabelsFont(font);
    chart->addAxis(dates_axis, Qt::AlignBottom);
    series->attachAxis(dates_axis);

    auto* count_axis = new QValueAxis;
    count_axis->setRange(0, static_cast<qreal>(std::max<long long>(highest, 5)));
    count_axis->applyNiceNumbers();
    count_axis->setLabelFormat(QStringLiteral("%d"));
    count_axis->setLabelsFont(font);
    chart->addAxis(count_axis, Qt::AlignLeft);
    series->attachAxis(count_axis);

    QFont title_font = font;
    title_font.setPointSizeF(font.pointSizeF() * 1.3);
    chart->setTitleFont(title_font);
    chart->setTitle(highest > 0 ? QStringLiteral("最近%1天每日成功刷新").arg(kDays)
                                : QStringLiteral("最近%1天没有成功的刷新").arg(kDays));
    chart->legend()->hide();
    chart->setMargins({4, 4, 4, 4});
    return chart;
}

} // namespace

StatisticsWindow::StatisticsWindow(QWidget* owner, store::PlanStore& store, const common::Clock& clock)
    : QWidget(owner, Qt::Window), store_(store), clock_(clock), chart_view_(new QChartView(this)),
      total_(new QLabel(this)), plans_(new QTreeWidget(this)),
      no_plans_(new QLabel(QStringLiteral("今天还没有方案刷新成功"), this)) {
    setObjectName(QStringLiteral("窗口刷新统计"));
    setWindowTitle(QStringLiteral("刷新统计"));
    // Closing it must never end the program, even while the main window is hidden.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(960, 540);

    chart_view_->setObjectName(QStringLiteral("图表每日刷新"));
    chart_view_->setRenderHint(QPainter::Antialiasing);
    total_->setObjectName(QStringLiteral("标签今日发布"));
    plans_->setObjectName(QStringLiteral("列表框今日方案"));
    plans_->setRootIsDecorated(false);
    plans_->setHeaderLabels({QStringLiteral("方案名"), QStringLiteral("今日已刷新")});
    plans_->header()->setStretchLastSection(false);
    plans_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    plans_->setColumnWidth(1, 80);
    no_plans_->setObjectName(QStringLiteral("标签今日无记录"));
    no_plans_->setAlignment(Qt::AlignCenter);

    auto* side = new QVBoxLayout;
    side->addWidget(total_);
    side->addWidget(plans_, 1);
    side->addWidget(no_plans_);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(chart_view_, 3);
    layout->addLayout(side, 1);
}

void StatisticsWindow::open() {
    read_figures();
    show();
    raise();
    activateWindow();
}

void StatisticsWindow::read_figures() {
    const common::LocalTime now = clock_.local_now();
    const std::vector<DayCount> days = daily_counts(store_, now, kDays);
    QChart* old = chart_view_->chart();
    chart_view_->setChart(make_chart(days, font()));
    delete old;

    total_->setText(QStringLiteral("今日发布:") + QString::number(days.back().count));
    plans_->clear();
    for (const PlanCount& plan : plan_counts_today(store_, common::date_text(now))) {
        auto* row = new QTreeWidgetItem({qt_text(plan.nick), QString::number(plan.count)});
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        plans_->addTopLevelItem(row);
    }
    no_plans_->setVisible(plans_->topLevelItemCount() == 0);
}

} // namespace stats
