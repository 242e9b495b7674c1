#include "editor/plan_editor.h"

#include "common/plan.h"
#include "common/text.h"
#include "editor/id_merge.h"
#include "editor/number_boxes.h"
#include "editor/time_nodes.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "uikit/message_box.h"

#include <QEvent>
#include <array>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

namespace editor {
namespace {

std::string text_of(const QLineEdit* box) { return box->text().toStdString(); }
std::string text_of(const QPlainTextEdit* area) { return area->toPlainText().toStdString(); }

QString box_name(const QWidget* box) { return box->objectName(); }

// The boxes whose text the settings file keeps, in the order they are filled from it.
std::array<QLineEdit*, 5> remembered_boxes(const PlanEditorControls& c) {
    return {c.start_hour, c.end_hour, c.start_minute, c.end_minute, c.count};
}

} // namespace

PlanEditor::PlanEditor(QWidget* parent, store::PlanStore& plans, const store::SettingsFile& settings,
                       std::string edited_plan_name, ListingPicker picker)
    : QDialog(parent),
      controls_(build_plan_editor_controls(*this)),
      plans_(plans),
      settings_(settings),
      edited_plan_name_(std::move(edited_plan_name)),
      picker_(std::move(picker)) {
    setWindowTitle(QStringLiteral("刷新方案设置"));
    setModal(true);
    setFixedSize(kPlanEditorClientSize);

    const PlanEditorControls& c = controls_;
    for (QLineEdit* box : remembered_boxes(c))
        connect(box, &QLineEdit::textChanged, this, [this, box] { remember_box(box); });
    connect(c.generate, &QPushButton::clicked, this, &PlanEditor::generate_nodes);
    connect(c.show_count, &QPushButton::clicked, this, &PlanEditor::show_refresh_count);
    connect(c.save, &QPushButton::clicked, this, &PlanEditor::save_plan);
    connect(c.pick, &QPushButton::clicked, this, &PlanEditor::pick_listings);
    // Only a click changes the count box; selecting a mode from a loaded plan leaves it.
    connect(c.fixed_point, &QRadioButton::clicked, c.count, [count = c.count] { count->setEnabled(false); });
    connect(c.batch_rotation, &QRadioButton::clicked, c.count, [count = c.count] { count->setEnabled(true); });

    fill_remembered_boxes();
}

void PlanEditor::fill_remembered_boxes() {
    for (QLineEdit* box : remembered_boxes(controls_))
        box->setText(QString::fromStdString(settings_.read(store::keys::kInterfaceSection, box_name(box).toStdString())));
}

void PlanEditor::remember_box(QLineEdit* box) const {
    // A write that fails (no data folder, a read-only file) is passed over: the box simply
    // starts empty next time.
    settings_.write(store::keys::kInterfaceSection, box_name(box).toStdString(), common::trim_spaces(text_of(box)));
}

bool PlanEditor::event(QEvent* event) {
    // Showing counts as well: a window manager may activate the window late or never, and the
    // plan must not open as an empty form meanwhile.
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)
        load_edited_plan();
    return QDialog::event(event);
}

void PlanEditor::load_edited_plan() {
    if (plan_loaded_)
        return;
    plan_loaded_ = true;
    if (!edited_plan_name_.empty())
        show_plan(plans_.load_plan_by_name(edited_plan_name_));
}

void PlanEditor::show_plan(const common::Plan& plan) {
    const PlanEditorControls& c = controls_;
    c.name->setText(QString::fromStdString(plan.nick));
    c.times->setPlainText(QString::fromStdString(plan.times));
    c.ids->setPlainText(QString::fromStdString(plan.id));
    c.interval->setText(QString::fromStdString(plan.interval));
    (plan.mode() == common::PlanMode::FixedPoint ? c.fixed_point : c.batch_rotation)->setChecked(true);
    (plan.listing_kind() == common::ListingKind::Sale ? c.sale : c.rent)->setChecked(true);
}

common::PlanMode PlanEditor::mode() const {
    if (controls_.fixed_point->isChecked())
        return common::PlanMode::FixedPoint;
    if (controls_.batch_rotation->isChecked())
        return common::PlanMode::BatchRotation;
    return common::PlanMode::Neither;
}

common::ListingKind PlanEditor::listing_kind() const {
    if (controls_.sale->isChecked())
        return common::ListingKind::Sale;
    if (controls_.rent->isChecked())
        return common::ListingKind::Rent;
    return common::ListingKind::Neither;
}

void PlanEditor::generate_nodes() {
    const PlanEditorControls& c = controls_;
    const GeneratedNodes generated = generate_time_nodes({text_of(c.start_hour), text_of(c.start_minute),
                                                          text_of(c.end_hour), text_of(c.end_minute),
                                                          text_of(c.interval), text_of(c.filter)});
    if (!generated.ok()) {
        uikit::show_message(this, QString::fromStdString(generated.message));
        return;
    }
    c.times->setPlainText(QString::fromStdString(generated.nodes));
}

void PlanEditor::show_refresh_count() {
    const PlanEditorControls& c = controls_;
    const long long count = refresh_count(text_of(c.times), text_of(c.ids), common::text_to_int(text_of(c.count)), mode());
    c.hint->setText(QStringLiteral("共需刷新 ") + QString::number(count) + QStringLiteral(" 次"));
}

void PlanEditor::save_plan() {
    const PlanEditorControls& c = controls_;
    common::Plan plan;
    plan.nick = common::trim_spaces(text_of(c.name));
    if (plan.nick.empty())
        return uikit::show_message(this, QStringLiteral("请填写方案名称"));
    plan.id = common::trim_spaces(text_of(c.ids));
    if (plan.id.empty())
        return uikit::show_message(this, QStringLiteral("请选择需要刷新的信息id"));
    plan.times = common::trim_spaces(text_of(c.times));
    if (plan.times.empty())
        return uikit::show_message(this, QStringLiteral("请选择需要刷新的时间节点"));
    const common::PlanMode plan_mode = mode();
    if (plan_mode == common::PlanMode::BatchRotation) {
        plan.num = text_of(c.count);
        if (plan.num.empty())
            return uikit::show_message(this, QStringLiteral("请填写刷新的次数"));
    }
    plan.set_mode(plan_mode);
    plan.set_listing_kind(listing_kind());
    plan.numall = std::to_string(refresh_count(plan.times, plan.id, common::text_to_int(plan.num), plan_mode));
    const bool saved = plans_.save_plan(plan);
    uikit::show_message(this, saved ? QStringLiteral("保存成功") : QStringLiteral("保存失败"));
}

void PlanEditor::pick_listings() {
    if (!picker_)
        return;
    const bool sale = controls_.sale->isChecked();
    // The picker runs the site window's own loop; whatever closes this window meanwhile must
    // not leave the merge writing into a window that is gone.
    const QPointer<PlanEditor> self(this);
    const ListingPicker picker = picker_;
    const std::string picked = picker(sale);
    if (!self)
        return;
    controls_.ids->setPlainText(QString::fromStdString(merge_ids(text_of(controls_.ids), picked)));
}

void open_plan_editor(QWidget* parent, store::PlanStore& plans, const store::SettingsFile& settings,
                      std::string edited_plan_name, ListingPicker picker) {
    PlanEditor editor(parent, plans, settings, std::move(edited_plan_name), std::move(picker));
    editor.exec();
}

} // namespace editor
