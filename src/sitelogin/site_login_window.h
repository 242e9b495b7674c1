#pragma once
// The site login window "登录提取". Its only ways out are "我已登录" (once an agent ID is
// found), "保存提取" and "取消"; the close box and Escape are refused.

#include "sitelogin/picked_ids.h"
#include "sitelogin/site_login.h"

#include <QDialog>
#include <QSize>

#include <optional>
#include <vector>

class QGroupBox;
class QLabel;
class QStatusBar;
class QWebEngineView;

namespace sitelogin {

class CredentialAutofill;

class SiteLoginWindow final : public QDialog {
    Q_OBJECT
public:
    // The credential autofill starts at once; the sign-in check and the first page follow at
    // the window's first activation.
    SiteLoginWindow(QWidget* parent, const SiteLoginDeps& deps);
    ~SiteLoginWindow() override;

    // The picks so far, each ID followed by ",".
    std::string picked_ids() const { return picks_.text(); }
    // Text of part 0 or 1 of the status bar.
    QString status_text(int part) const;
    QWebEngineView* browser() const { return browser_; }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape would end the dialog otherwise.
    void reject() override {}

private:
    // What the first activation and the buttons "我已登录" and "提取勾选" do: each waits for the
    // site or the page with the event loop running, and only one runs at a time.
    enum class Wait { FirstPage, AgentId, Extraction };

    void create_controls();
    void lay_out();
    void press(Wait wait);
    void run(Wait wait);
    void open_first_page();
    void confirm_signed_in();
    void pick_ticked();
    void cancel();
    void open_page(const std::string& address);
    void finish(int result);

    SiteLoginDeps deps_;
    PickedIds picks_;
    QGroupBox* bar_ = nullptr;
    QWebEngineView* browser_ = nullptr;
    QStatusBar* status_bar_ = nullptr;
    QLabel* status_parts_[2] = {nullptr, nullptr};
    CredentialAutofill* autofill_ = nullptr;
    bool activated_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    // The outer size the controls were last laid out for.
    QSize laid_out_for_;
    // The wait under way, and the presses that came during it, in the order they came; each
    // runs once the one before it has ended. A press of a button that is already under way or
    // waiting adds nothing.
    std::optional<Wait> running_;
    std::vector<Wait> waiting_;
};

} // namespace sitelogin
