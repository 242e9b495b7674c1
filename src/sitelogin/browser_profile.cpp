#include "sitelogin/browser_profile.h"

#include "http/cookie_store.h"

#include <QDateTime>
#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <algorithm>
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

bool same_cookie(const http::Cookie& a, const http::Cookie& b) {
    return a.domain == b.domain && a.host_only == b.host_only && a.path == b.path && a.name == b.name &&
           a.value == b.value;
}

} // namespace

BrowserProfile::BrowserProfile(const std::filesystem::path& storage, http::CookieStore* jar, QObject* parent)
    : QObject(parent), profile_(new QWebEngineProfile(kProfileName, this)), jar_(jar),
      relay_(std::make_shared<Relay>()) {
    profile_->setPersistentStoragePath(QString::fromStdString(storage.string()));
    profile_->setCachePath(QString::fromStdString((storage / "cache").string()));
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    if (!jar_)
        return;

    QWebEngineCookieStore* cookies = profile_->cookieStore();
    hand_jar_to_browser();
    connect(cookies, &QWebEngineCookieStore::cookieAdded, this, &BrowserProfile::browser_cookie_added);
    connect(cookies, &QWebEngineCookieStore::cookieRemoved, this, &BrowserProfile::browser_cookie_removed);

    relay_->target = this;
    jar_->set_response_listener([relay = relay_](const std::string& url, const std::string& set_cookie) {
        std::lock_guard lock(relay->mutex);
        if (!relay->target)
            return;
        BrowserProfile* target = relay->target;
        QMetaObject::invokeMethod(
            target, [target, url, set_cookie] { target->take_response_cookie(url, set_cookie); },
            Qt::QueuedConnection);
    });
}

// The browser cannot list what it holds, but the jar can: what the program's own requests
// signed in with (the jar file outlives the program) is handed to the browser.
void BrowserProfile::hand_jar_to_browser() {
    for (const http::Cookie& c : jar_->cookies()) {
        const auto [cookie, origin] = browser_cookie(c);
        profile_->cookieStore()->setCookie(cookie, origin);
    }
}

BrowserProfile::~BrowserProfile() {
    if (jar_)
        jar_->set_response_listener({});
    // A listener call already under way either posted its cookie (dropped with this object) or
    // sees the null target.
    std::lock_guard lock(relay_->mutex);
    relay_->target = nullptr;
}

// The jar never reports back what it is given, so feeding it cannot loop; a cookie the bridge
// put into the browser comes back here unchanged and leaves the jar as it was.
void BrowserProfile::browser_cookie_added(const QNetworkCookie& cookie) {
    if (!cookie.domain().isEmpty())
        jar_->set_cookie(jar_cookie(cookie));
}

// When a response of the program's own replaced a cookie, the browser drops its old value
// after the jar already holds the new one: only that old value may go.
void BrowserProfile::browser_cookie_removed(const QNetworkCookie& cookie) {
    const http::Cookie removed = jar_cookie(cookie);
    const std::vector<http::Cookie> held = jar_->cookies();
    if (std::any_of(held.begin(), held.end(), [&](const http::Cookie& c) { return same_cookie(c, removed); }))
        jar_->remove_cookie(removed);
}

void BrowserProfile::take_response_cookie(const std::string& url, const std::string& set_cookie) {
    const QUrl origin(QString::fromStdString(url));
    if (!origin.isValid() || origin.host().isEmpty())
        return;
    for (const QNetworkCookie& cookie : QNetworkCookie::parseCookies(QByteArray::fromStdString(set_cookie))) {
        // An empty domain keeps it a host-only cookie of the origin.
        profile_->cookieStore()->setCookie(cookie, origin);
    }
}

} // namespace sitelogin
