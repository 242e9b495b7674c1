#pragma once
// Watches the browser for the site's login page: on the first sight of it during one opening
// of the site login window it fills in the user name and password saved before, and on every
// later pass it saves what stands in the two boxes, when the settings file can hold them exactly.
// A pass runs every 500 ms on the UI thread.

#include "webpage/page_automation.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <string>

class QWidget;
namespace store { class SettingsFile; }

namespace sitelogin {

// Title of the site's login page; other pages are neither filled nor watched.
inline constexpr const char* kLoginPageTitle = "搜房帮登录";
// Longer passwords (in GBK bytes) are never saved.
inline constexpr std::size_t kMaxSavedPasswordBytes = 20;

class CredentialAutofill final : public QObject {
    Q_OBJECT
public:
    CredentialAutofill(QWidget* browser, const store::SettingsFile& settings, QObject* parent = nullptr);
    ~CredentialAutofill() override;

    // The first pass runs from the event loop at once, then one every 500 ms.
    void start();
    // No pass begins after this, and a pass under way ends without touching anything more.
    void stop();

Q_SIGNALS:
    // After each whole pass; `login_page` when the pass found the login page (and filled in or
    // saved the credentials). A watcher learns from it that the page has been looked at.
    void pass_finished(bool login_page);

private:
    void run_pass();
    void fill_saved_credentials();
    void save_typed_credentials(const std::string& user);

    // Its own instance: the window's handlers may use the program's instance in the middle of
    // a pass, which waits for the page with the event loop running.
    webpage::PageAutomation automation_;
    QPointer<QWidget> browser_;
    const store::SettingsFile& settings_;
    QTimer timer_;
    bool running_ = false;
    bool filled_ = false;
    // The pair the settings file holds as far as this opening knows, so that an unchanged pair
    // does not rewrite the file every pass.
    std::string saved_user_, saved_password_;
    bool saved_known_ = false;
};

} // namespace sitelogin
