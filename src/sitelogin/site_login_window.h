#pragma once
// The site login window "登录提取". Its only ways out are "我已登录" (once an agent ID is
// found), "保存提取" and "取消"; the close box and Escape are refused.

#include "sitelogin/picked_ids.h"
#include "sitelogin/site_login.h"

#include <QDialog>

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
    void create_controls();
    void lay_out();
    void first_activation();
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
    // A handler waiting for the site or the page runs the event loop; a second press of a
    // button meanwhile is not taken.
    bool busy_ = false;
};

} // namespace sitelogin
