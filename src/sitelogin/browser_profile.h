#pragma once
// The embedded browser's one persistent profile (storage under data/browser) and the bridge
// that keeps its cookies and the program's own cookie jar in step both ways: what the browser
// receives goes into the jar, and cookies the program's own requests receive go into the
// browser, so a sign-in in either place counts for both.

#include <QObject>

#include <filesystem>
#include <memory>
#include <string>

class QNetworkCookie;
class QWebEngineProfile;
namespace http { class CookieStore; }

namespace sitelogin {

class BrowserProfile final : public QObject {
    Q_OBJECT
public:
    // `storage` is the profile's folder; with a null `jar` the profile keeps its cookies to
    // itself. Create it on the UI thread at start-up; it must outlive every page using it.
    BrowserProfile(const std::filesystem::path& storage, http::CookieStore* jar, QObject* parent = nullptr);
    ~BrowserProfile() override;

    QWebEngineProfile* profile() const { return profile_; }
    // Gives the browser every cookie of the jar; done at start-up.
    void hand_jar_to_browser();

private:
    struct Relay;

    void browser_cookie_added(const QNetworkCookie& cookie);
    void browser_cookie_removed(const QNetworkCookie& cookie);
    void take_response_cookie(const std::string& url, const std::string& set_cookie);

    QWebEngineProfile* profile_;
    http::CookieStore* jar_;
    // Shared with the jar's listener, which runs on request threads and may outlive this.
    std::shared_ptr<Relay> relay_;
};

} // namespace sitelogin
