#include "sitelogin/credential_autofill.h"

#include "common/encoding.h"
#include "store/settings.h"
#include "store/settings_keys.h"

#include <QWidget>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace sitelogin {
namespace {

constexpr int kPassIntervalMs = 500;

// The file is about to hold a password in plain text: only its owner may read it, before the
// password is in it (rewrites of the file keep its permission bits). The owner's own bits stay,
// so a file made read-only stays so.
void make_owner_only(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
        ::fchmod(fd, st.st_mode & 0700);
    ::close(fd);
}

} // namespace

CredentialAutofill::CredentialAutofill(QWidget* browser, const store::SettingsFile& settings, QObject* parent)
    : QObject(parent), browser_(browser), settings_(settings) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CredentialAutofill::run_pass);
}

CredentialAutofill::~CredentialAutofill() { stop(); }

void CredentialAutofill::start() {
    running_ = true;
    timer_.start(0);
}

void CredentialAutofill::stop() {
    running_ = false;
    timer_.stop();
}

void CredentialAutofill::run_pass() {
    // Every wait for the page runs the event loop, in which the window may stop the pass or
    // go away; each one is followed by that check.
    QPointer<CredentialAutofill> alive(this);
    const auto still_running = [&] { return alive && running_; };

    automation_.release_document();
    automation_.attach(browser_);
    if (!still_running())
        return;
    const bool login_page = automation_.page_title() == kLoginPageTitle;
    if (!still_running())
        return;
    if (login_page) {
        const std::string user = automation_.text_box_value("1");
        if (!still_running())
            return;
        if (!filled_)
            fill_saved_credentials();
        else
            save_typed_credentials(user);
        if (!still_running())
            return;
    }
    timer_.start(kPassIntervalMs);
    Q_EMIT pass_finished(login_page);
}

void CredentialAutofill::fill_saved_credentials() {
    filled_ = true;
    saved_user_ = settings_.read(store::keys::kSiteSection, store::keys::kUser);
    saved_password_ = settings_.read(store::keys::kSiteSection, store::keys::kPassword);
    saved_known_ = true;
    QPointer<CredentialAutofill> alive(this);
    automation_.set_text_box_value("1", saved_user_);
    if (alive && running_)
        automation_.set_text_box_value("2", saved_password_);
}

void CredentialAutofill::save_typed_credentials(const std::string& user) {
    QPointer<CredentialAutofill> alive(this);
    const std::string password = automation_.text_box_value("2");
    if (!alive || !running_)
        return;
    if (common::gbk_length(password) > kMaxSavedPasswordBytes || user.empty() || password.empty())
        return;
    // A pair the file would change (a character GBK lacks comes back as "?") would be filled in
    // wrong next time and would never open the lock: it is not saved, the sign-in goes on as typed.
    if (!store::SettingsFile::can_hold(user) || !store::SettingsFile::can_hold(password))
        return;
    if (saved_known_ && user == saved_user_ && password == saved_password_)
        return;
    make_owner_only(settings_.path());
    const bool written = settings_.write(store::keys::kSiteSection, store::keys::kUser, user) &&
                         settings_.write(store::keys::kSiteSection, store::keys::kPassword, password);
    saved_known_ = written;
    if (written) {
        saved_user_ = user;
        saved_password_ = password;
    }
}

} // namespace sitelogin
