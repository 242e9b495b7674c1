#pragma once
// The plan editor window "刷新方案设置": creates a refresh plan or changes an existing one.

#include "editor/plan_editor_controls.h"

#include <QDialog>
#include <functional>
#include <string>

#include "common/plan.h"

class QLineEdit;
namespace store {
class PlanStore;
class SettingsFile;
} // namespace store

namespace editor {

// Opens the site on the sale (true) or rent listing page, lets the agent tick listings and
// returns the picked IDs, each followed by ",".
using ListingPicker = std::function<std::string(bool sale)>;

class PlanEditor final : public QDialog {
    Q_OBJECT
public:
    // `edited_plan_name` empty for a new plan. The start and end boxes and the count box come
    // from the settings file now; the plan is loaded when the window is first shown.
    PlanEditor(QWidget* parent, store::PlanStore& plans, const store::SettingsFile& settings,
               std::string edited_plan_name, ListingPicker picker);

    // Fills the controls from the edited plan; runs once, at the window's first showing or
    // activation or at this call, whichever comes first.
    void load_edited_plan();

protected:
    bool event(QEvent* event) override;

private:
    void show_plan(const common::Plan& plan);
    void fill_remembered_boxes();
    void remember_box(QLineEdit* box) const;
    void generate_nodes();
    void show_refresh_count();
    void save_plan();
    void pick_listings();
    common::PlanMode mode() const;
    common::ListingKind listing_kind() const;

    PlanEditorControls controls_;
    store::PlanStore& plans_;
    const store::SettingsFile& settings_;
    std::string edited_plan_name_;
    ListingPicker picker_;
    bool plan_loaded_ = false;
};

// Shows the plan editor modally and returns when the agent has closed it.
void open_plan_editor(QWidget* parent, store::PlanStore& plans, const store::SettingsFile& settings,
                      std::string edited_plan_name, ListingPicker picker);

} // namespace editor
