#pragma once
// The embedded browser's one persistent profile (storage under data/browser) and the bridge
// that keeps its cookies and the program's own cookie jar in step both ways: what the browser
// receives goes into the jar, and cookies the program's own requests receive go into the
// browser, so a sign-in in either place counts for both.
//
// Most days nobody opens the site login window, so the browser starts on first use: the
// profile (and with it the browser's engine and processes) is made at the first call of
// profile(), and the jar, which alone carried the sign-in until then, is handed to it.

#include <QObject>

#include <filesystem>
#include <memory>
#include <vector>

class QNetworkCookie;
class QWebEngineProfile;
namespace http {
struct Cookie;
class NetworkThread;
} // namespace http

namespace sitelogin {

class BrowserProfile final : public QObject {
    Q_OBJECT
public:
    // `storage` is the profile's folder; with a null `network` the profile keeps its cookies to
    // itself. Nothing starts here. Use it on the UI thread; it must outlive every page using it.
    BrowserProfile(std::filesystem::path storage, http::NetworkThread* network, QObject* parent = nullptr);
    ~BrowserProfile() override;

    // The profile, made at the first call.
    QWebEngineProfile* profile();
    bool started() const { return profile_ != nullptr; }

private:
    struct Relay;

    void start();
    void hand_jar_to_browser();
    void browser_cookie_added(const QNetworkCookie& cookie);
    void browser_cookie_removed(const QNetworkCookie& cookie);
    void take_response_cookies(const std::vector<http::Cookie>& cookies);

    const std::filesystem::path storage_;
    http::NetworkThread* network_;
    QWebEngineProfile* profile_ = nullptr;
    // Shared with the jar's listener, which runs on the network thread and may outlive this.
    std::shared_ptr<Relay> relay_;
};

} // namespace sitelogin
