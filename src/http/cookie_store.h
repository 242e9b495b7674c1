#pragma once
// The program's cookie jar: one libcurl share (cookies, DNS, connections) used by every
// request, saved as a Netscape cookie file whenever it changes, and kept in step with the
// embedded browser through the two hooks below.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>


namespace http {

// One cookie as the browser and the jar both understand it.
struct Cookie {
    std::string domain;      // host name; for a domain cookie the domain without leading dot
    bool host_only = true;   // false for a domain cookie (sent to sub-domains too)
    std::string path = "/";
    bool secure = false;
    bool http_only = false;
    long long expires = 0;   // seconds since the epoch; 0 for a session cookie
    std::string name, value;
};

class CookieStore final {
public:
    // `file` is where the jar is kept (data/cookies.txt); empty keeps it in memory only.
    explicit CookieStore(std::filesystem::path file = {});
    ~CookieStore();
    CookieStore(const CookieStore&) = delete;
    CookieStore& operator=(const CookieStore&) = delete;

    // The share to attach to every easy handle (CURLOPT_SHARE).
    void* share() const;

    // Loads the jar file into the share; a missing file is an empty jar.
    void load();
    // Writes the jar file (owner read/write only), atomically; false when it could not.
    bool save() const;
    // Writes the jar file when the jar differs from what was last written or loaded.
    void save_if_changed() const;

    // Adds or replaces a cookie / removes it, then saves. Used by the browser bridge. A cookie
    // a jar line cannot hold (empty name, a tab or line break in a field) is left out.
    void set_cookie(const Cookie& cookie);
    void set_cookies(const std::vector<Cookie>& cookies);
    void remove_cookie(const Cookie& cookie);
    // The cookies of the jar that have not expired.
    std::vector<Cookie> cookies() const;

    // Called (on the worker thread) for every Set-Cookie header value a response carried,
    // with the URL of that response. The browser bridge hands them to the browser.
    void set_response_listener(std::function<void(const std::string& url, const std::string& set_cookie)> listener);
    void notify_response_cookie(const std::string& url, const std::string& set_cookie) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace http
