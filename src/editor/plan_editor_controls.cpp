#include "editor/plan_editor_controls.h"

#include "editor/number_boxes.h"

#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace editor {
namespace {

template <typename Widget>
Widget* placed(Widget* widget, const char* name, QRect place) {
    widget->setObjectName(QString::fromUtf8(name));
    widget->setGeometry(place);
    return widget;
}

QLabel* add_label(QWidget* parent, const char* name, const char* caption, QRect place) {
    auto* label = placed(new QLabel(QString::fromUtf8(caption), parent), name, place);
    // This font's Latin letters run wider than the system font's ("过滤N倍数" by two pixels):
    // a caption may grow to the right, over the gap before the next control, rather than be cut.
    const int needed = label->sizeHint().width();
    if (needed > place.width())
        label->resize(needed, place.height());
    return label;
}

QGroupBox* add_group(QWidget* parent, const char* name, const char* caption, QRect place) {
    return placed(new QGroupBox(QString::fromUtf8(caption), parent), name, place);
}

QRadioButton* add_radio(QWidget* parent, const char* name, const char* caption, QRect place) {
    return placed(new QRadioButton(QString::fromUtf8(caption), parent), name, place);
}

QPushButton* add_button(QWidget* parent, const char* name, const char* caption, QRect place) {
    auto* button = placed(new QPushButton(QString::fromUtf8(caption), parent), name, place);
    // Return in a box must not press a button: it would save or open the site by accident.
    button->setAutoDefault(false);
    return button;
}

QPlainTextEdit* add_text_area(QWidget* parent, const char* name, QRect place) {
    auto* area = placed(new QPlainTextEdit(parent), name, place);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A tab typed into an ID or time list would survive trimming; Tab moves on instead.
    area->setTabChangesFocus(true);
    return area;
}

IntegerLineEdit* add_integer_box(QWidget* parent, const char* name, QRect place) {
    return placed(new IntegerLineEdit(parent), name, place);
}

TimeFieldEdit* add_time_box(QWidget* parent, const char* name, long long highest, Qt::Key focus_key, QRect place) {
    return placed(new TimeFieldEdit(highest, focus_key, parent), name, place);
}

} // namespace

PlanEditorControls build_plan_editor_controls(QDialog& window) {
    // The places were laid out for a 12-pixel font (9 points at 96 dpi).
    QFont font = window.font();
    font.setPixelSize(12);
    window.setFont(font);
    // Children sit 15 pixels below a group box's top, as on the system the places come from,
    // where the frame runs through the middle of the caption; the default style draws the
    // frame below the caption, through the first row of boxes.
    window.setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px; padding: 0 2px; }"));

    PlanEditorControls c;
    QWidget* w = &window;
    add_label(w, "标签1", "方案名称：", {8, 10, 65, 16});
    c.name = placed(new QLineEdit(w), "编辑框方案名称", {67, 7, 208, 23});
    c.sale = add_radio(w, "单选框出售", "出售", {279, 9, 58, 20});
    c.rent = add_radio(w, "单选框出租", "出租", {336, 9, 58, 20});

    QGroupBox* ids_group = add_group(w, "分组框1", "房源编号", {5, 32, 472, 189});
    c.ids = add_text_area(ids_group, "编辑框编号", {3, 16, 464, 144});
    c.pick = add_button(ids_group, "按钮1", "选择房源", {386, 162, 79, 22});

    QGroupBox* times_group = add_group(w, "分组框2", "刷新时间", {6, 223, 474, 217});
    c.times = add_text_area(times_group, "编辑框时间", {0, 15, 473, 201});

    QGroupBox* tools = add_group(w, "分组框3", "计算时间", {485, 32, 149, 204});
    add_label(tools, "标签2", "开始时间", {5, 15, 48, 18});
    c.start_hour = add_time_box(tools, "编辑框时1", 23, Qt::Key_Right, {58, 14, 25, 21});
    add_label(tools, "标签3", "：", {82, 15, 16, 16});
    c.start_minute = add_time_box(tools, "编辑框分1", 59, Qt::Key_Left, {87, 14, 25, 21});
    add_label(tools, "标签4", "结束时间", {5, 38, 48, 18});
    c.end_hour = add_time_box(tools, "编辑框时2", 23, Qt::Key_Right, {58, 37, 25, 21});
    add_label(tools, "标签5", "：", {82, 38, 16, 16});
    c.end_minute = add_time_box(tools, "编辑框分2", 59, Qt::Key_Left, {87, 37, 25, 21});
    add_label(tools, "标签6", "间隔", {28, 65, 25, 18});
    c.interval = add_integer_box(tools, "编辑框间隔", {59, 63, 35, 21});
    add_label(tools, "标签7", "分钟", {96, 64, 25, 18});
    add_label(tools, "标签8", "每次刷新", {4, 89, 48, 18});
    c.count = add_integer_box(tools, "编辑框个数", {59, 87, 35, 21});
    add_label(tools, "标签9", "个房源", {96, 88, 46, 18});
    add_label(tools, "标签10", "过滤N倍数", {3, 114, 54, 16});
    c.filter = add_integer_box(tools, "编辑框过滤", {60, 112, 35, 21});
    c.generate = add_button(tools, "按钮生成时间节点", "生成时间节点", {27, 140, 106, 27});
    c.show_count = add_button(tools, "按钮查看刷新次数", "查看刷新次数", {27, 170, 106, 27});
    c.start_hour->set_neighbour(c.start_minute);
    c.start_minute->set_neighbour(c.start_hour);
    c.end_hour->set_neighbour(c.end_minute);
    c.end_minute->set_neighbour(c.end_hour);

    QGroupBox* mode_group = add_group(w, "分组框4", "", {486, 235, 144, 64});
    c.fixed_point = add_radio(mode_group, "单选框定点刷新", "定点刷新", {3, 10, 110, 24});
    c.batch_rotation = add_radio(mode_group, "单选框批量轮换", "批量轮换", {4, 37, 114, 24});

    c.save = add_button(w, "按钮保存方案", "保存方案", {496, 400, 80, 32});
    c.hint = add_label(w, "标签提示", "提示栏", {5, 444, 240, 20});

    c.kinds = new QButtonGroup(w);
    c.kinds->addButton(c.sale);
    c.kinds->addButton(c.rent);
    c.modes = new QButtonGroup(w);
    c.modes->addButton(c.fixed_point);
    c.modes->addButton(c.batch_rotation);
    c.sale->setChecked(true);
    c.batch_rotation->setChecked(true);

    return c;
}

} // namespace editor
