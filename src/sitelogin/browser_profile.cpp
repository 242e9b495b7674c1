#include "sitelogin/browser_profile.h"

#include "http/network_thread.h"

#include <QDateTime>
#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <mutex>

namespace sitelogin {

struct BrowserProfile::Relay {
    std::mutex mutex;
    BrowserProfile* target = nullptr;
};

namespace {

const QString kProfileName = QStringLiteral("qicheng");

http::Cookie jar_cookie(const QNetworkCookie& cookie) {
    http::Cookie c;
    const QString domain = cookie.domain();
    c.host_only = !domain.startsWith(QLatin1Char('.'));
    c.domain = (c.host_only ? domain : domain.mid(1)).toStdString();
    c.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
    c.secure = cookie.isSecure();
    c.http_only = cookie.isHttpOnly();
    c.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    c.name = cookie.name().toStdString();
    c.value = cookie.value().toStdString();
    return c;
}

// The browser's form of a jar cookie, with the address it belongs to. A host-only cookie keeps
// an empty domain, or the browser would make it a domain cookie.
std::pair<QNetworkCookie, QUrl> browser_cookie(const http::Cookie& c) {
    QNetworkCookie cookie(QByteArray::fromStdString(c.name), QByteArray::fromStdString(c.value));
    if (!c.host_only)
        cookie.setDomain(QStringLiteral(".") + QString::fromStdString(c.domain));
    cookie.setPath(QString::fromStdString(c.path));
    cookie.setSecure(c.secure);
    cookie.setHttpOnly(c.http_only);
    if (c.expires > 0)
        cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(c.expires));
    const QString scheme = c.secure ? QStringLiteral("https://") : QStringLiteral("http://");
    return {cookie, QUrl(scheme + QString::fromStdString(c.domain) + QString::fromStdString(c.path))};
}

} // namespace

BrowserProfile::BrowserProfile(std::filesystem::path storage, http::NetworkThread* network, QObject* parent)
    : QObject(parent), storage_(std::move(storage)), network_(network), relay_(std::make_shared<Relay>()) {}

QWebEngineProfile* BrowserProfile::profile() {
    if (!profile_)
        start();
    return profile_;
}

void BrowserProfile::start() {
    profile_ = new QWebEngineProfile(kProfileName, this);
    profile_->setPersistentStoragePath(QString::fromStdString(storage_.string()));
    profile_->setCachePath(QString::fromStdString((storage_ / "cache").string()));
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    if (!network_)
        return;

    relay_->target = this;
    network_->set_cookie_listener([relay = relay_](const std::vector<http::Cookie>& cookies) {
        std::lock_guard lock(relay->mutex);
        if (!relay->target)
            return;
        BrowserProfile* target = relay->target;
        QMetaObject::invokeMethod(
            target, [target, cookies] { target->take_response_cookies(cookies); }, Qt::QueuedConnection);
    });
    // The listener is in place before the jar is read: what the jar learns after the reading
    // reaches the browser through it.
    hand_jar_to_browser();
    QWebEngineCookieStore* cookies = profile_->cookieStore();
    connect(cookies, &QWebEngineCookieStore::cookieAdded, this, &BrowserProfile::browser_cookie_added);
    connect(cookies, &QWebEngineCookieStore::cookieRemoved, this, &BrowserProfile::browser_cookie_removed);
}

// The browser cannot list what it holds, but the jar can: what the program's own requests
// signed in with (the jar file outlives the program) is handed to the browser.
void BrowserProfile::hand_jar_to_browser() { take_response_cookies(network_->cookies()); }

BrowserProfile::~BrowserProfile() {
    if (network_ && profile_)
        network_->set_cookie_listener({});
    // A listener call already under way either posted its cookies (dropped with this object) or
    // sees the null target.
    std::lock_guard lock(relay_->mutex);
    relay_->target = nullptr;
}

// The jar never reports back what it is given, so feeding it cannot loop; a cookie the bridge
// put into the browser comes back here unchanged and leaves the jar as it was.
void BrowserProfile::browser_cookie_added(const QNetworkCookie& cookie) {
    if (!cookie.domain().isEmpty())
        network_->set_cookie(jar_cookie(cookie));
}

// When a response of the program's own replaced a cookie, the browser drops its old value
// after the jar already holds the new one: only that old value may go.
void BrowserProfile::browser_cookie_removed(const QNetworkCookie& cookie) {
    network_->remove_cookie_if_held(jar_cookie(cookie));
}

void BrowserProfile::take_response_cookies(const std::vector<http::Cookie>& cookies) {
    for (const http::Cookie& c : cookies) {
        const auto [cookie, origin] = browser_cookie(c);
        profile_->cookieStore()->setCookie(cookie, origin);
    }
}

} // namespace sitelogin
