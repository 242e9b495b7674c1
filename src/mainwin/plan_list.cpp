#include "mainwin/plan_list.h"

#include "store/plan_store.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScopeGuard>
#include <QTreeWidget>

#include <algorithm>

namespace mainwin {
namespace {

enum Column { kNumber = 0, kName = 1, kPerDay = 2, kToday = 3 };

QString qt_text(const std::string& text) { return QString::fromStdString(text); }

} // namespace

PlanList::PlanList(QWidget* frame, store::PlanStore& store)
    : QObject(frame), store_(store), view_(new QTreeWidget(frame)), menu_(new QMenu(view_)),
      painting_(view_->viewport()) {
    view_->setObjectName(QStringLiteral("超级列表框1"));
    view_->setRootIsDecorated(false);
    view_->setItemsExpandable(false);
    view_->setUniformRowHeights(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("方案名"), QStringLiteral("刷新次数"),
                            QStringLiteral("已刷新")});
    view_->header()->setStretchLastSection(false);
    view_->header()->setSectionsMovable(false);
    const int widths[] = {50, 200, 100, 100};
    for (int column = 0; column < 4; ++column)
        view_->setColumnWidth(column, widths[column]);

    menu_->setObjectName(QStringLiteral("右键"));
    connect(menu_->addAction(QStringLiteral("刷新显示")), &QAction::triggered, this, &PlanList::reload);
    connect(menu_->addAction(QStringLiteral("全部勾选")), &QAction::triggered, this, &PlanList::tick_all);
    connect(menu_->addAction(QStringLiteral("反向勾选")), &QAction::triggered, this, &PlanList::invert_ticks);
    connect(menu_->addAction(QStringLiteral("取消勾选")), &QAction::triggered, this, &PlanList::untick_all);
    connect(menu_->addAction(QStringLiteral("删除勾选项")), &QAction::triggered, this, &PlanList::delete_ticked);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &PlanList::show_menu);
    view_->viewport()->installEventFilter(this);
}

void PlanList::reload() {
    const unsigned generation = ++reload_generation_;
    // Painting the list after every row would cost more than the rest of the reload; the
    // window stays responsive and shows the list once it is complete.
    view_->setUpdatesEnabled(false);
    const auto repaint = qScopeGuard([this] { view_->setUpdatesEnabled(true); });
    view_->clear();
    names_.clear();
    // The rows are read in one go so the query is finished before any handler runs between
    // two rows (a handler may itself read or change the database).
    std::vector<store::PlanRow> rows;
    store_.list_plans([&rows](const store::PlanRow& plan) { rows.push_back(plan); });
    int number = 0;
    for (const store::PlanRow& plan : rows) {
        auto* item = new QTreeWidgetItem({QString::number(++number), qt_text(plan.nick), qt_text(plan.numall),
                                          qt_text(plan.today)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(kNumber, Qt::Unchecked);
        view_->addTopLevelItem(item);
        names_.push_back(item->text(kName).toStdString());
        QCoreApplication::processEvents();
        // A reload that ran meanwhile has rebuilt the list; going on would add these rows twice.
        if (generation != reload_generation_)
            return;
    }
}

int PlanList::row_count() const { return view_->topLevelItemCount(); }

QTreeWidgetItem* PlanList::row(int index) const {
    return index >= 0 && index < row_count() ? view_->topLevelItem(index) : nullptr;
}

std::string PlanList::name_at(int index) const {
    if (index >= 0 && index < row_count() && static_cast<std::size_t>(index) < names_.size())
        return names_[static_cast<std::size_t>(index)];
    const QTreeWidgetItem* item = row(index);
    return item ? item->text(kName).toStdString() : std::string();
}

void PlanList::show_today(const std::string& nick, long long count) {
    // Compared as the rows hold their names: converted to the list's text and back.
    const std::string name = qt_text(nick).toStdString();
    const int rows = std::min(row_count(), static_cast<int>(names_.size()));
    for (int i = 0; i < rows; ++i) {
        if (names_[static_cast<std::size_t>(i)] == name) {
            painting_.changing();
            row(i)->setText(kToday, QString::number(count));
            return;
        }
    }
}

void PlanList::tick_all() {
    for (int i = 0; i < row_count(); ++i)
        row(i)->setCheckState(kNumber, Qt::Checked);
}

void PlanList::invert_ticks() {
    for (int i = 0; i < row_count(); ++i) {
        QTreeWidgetItem* item = row(i);
        item->setCheckState(kNumber, item->checkState(kNumber) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

void PlanList::untick_all() {
    for (int i = 0; i < row_count(); ++i)
        row(i)->setCheckState(kNumber, Qt::Unchecked);
}

void PlanList::delete_ticked() {
    std::vector<std::string> names;
    for (int i = 0; i < row_count(); ++i) {
        if (row(i)->checkState(kNumber) == Qt::Checked)
            names.push_back(name_at(i));
    }
    for (const std::string& name : names)
        store_.delete_plan(name);
    reload();
}

int PlanList::selected_row() const {
    const QList<QTreeWidgetItem*> selected = view_->selectedItems();
    return selected.isEmpty() ? -1 : view_->indexOfTopLevelItem(selected.first());
}

void PlanList::show_menu(const QPoint& pos) { menu_->exec(view_->viewport()->mapToGlobal(pos)); }

bool PlanList::eventFilter(QObject* watched, QEvent* event) {
    // The double click counts anywhere in the list, not only on a row: what it opens is the
    // selected row, whatever lies under the pointer.
    if (watched == view_->viewport() && event->type() == QEvent::MouseButtonDblClick && double_click_) {
        // The handler may reload the list; the view must not go on with a click on rows that
        // are gone.
        double_click_();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace mainwin
