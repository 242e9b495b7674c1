#pragma once
// The controls of the plan editor window, each at its place with its name and caption.

#include <QSize>

class QButtonGroup;
class QDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace editor {

class IntegerLineEdit;
class TimeFieldEdit;

// The window is 641 × 494 with its frame; the controls' places are client coordinates, and
// this is what a 3-pixel border and a 25-pixel caption leave of that size.
inline constexpr QSize kPlanEditorClientSize{635, 466};

// Owned by the window they were built in.
struct PlanEditorControls {
    QLineEdit* name = nullptr;             // 编辑框方案名称
    QRadioButton* sale = nullptr;          // 单选框出售
    QRadioButton* rent = nullptr;          // 单选框出租
    QPlainTextEdit* ids = nullptr;         // 编辑框编号
    QPushButton* pick = nullptr;           // 按钮1
    QPlainTextEdit* times = nullptr;       // 编辑框时间
    TimeFieldEdit* start_hour = nullptr;   // 编辑框时1
    TimeFieldEdit* start_minute = nullptr; // 编辑框分1
    TimeFieldEdit* end_hour = nullptr;     // 编辑框时2
    TimeFieldEdit* end_minute = nullptr;   // 编辑框分2
    IntegerLineEdit* interval = nullptr;   // 编辑框间隔
    IntegerLineEdit* count = nullptr;      // 编辑框个数
    IntegerLineEdit* filter = nullptr;     // 编辑框过滤
    QPushButton* generate = nullptr;       // 按钮生成时间节点
    QPushButton* show_count = nullptr;     // 按钮查看刷新次数
    QRadioButton* fixed_point = nullptr;   // 单选框定点刷新
    QRadioButton* batch_rotation = nullptr; // 单选框批量轮换
    QPushButton* save = nullptr;           // 按钮保存方案
    QLabel* hint = nullptr;                // 标签提示
    QButtonGroup* kinds = nullptr;         // 出售 / 出租
    QButtonGroup* modes = nullptr;         // 定点刷新 / 批量轮换
};

PlanEditorControls build_plan_editor_controls(QDialog& window);

} // namespace editor
