#pragma once
// The program's cookie jar: one libcurl share that every request's handle is attached to, and
// the Netscape cookie file it is kept in. curl allows a share's cookies to be used by one thread
// at a time only, so a jar belongs to one thread: in the program, the network thread.

#include <filesystem>
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

// A Set-Cookie header value and the address of the response that carried it.
struct ResponseCookie {
    std::string url;
    std::string set_cookie;
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
    bool save();
    // Writes the jar file when the jar may have changed and differs from what was last written
    // or loaded. Changes are saved by this call only, so a burst of them costs one write.
    void save_if_changed();

    // Adds or replaces a cookie / removes it. A cookie a jar line cannot hold (empty name, a tab
    // or line break in a field) is left out.
    void set_cookie(const Cookie& cookie);
    void set_cookies(const std::vector<Cookie>& cookies);
    void remove_cookie(const Cookie& cookie);
    // Removes the cookie only while the jar holds it with this very value: when a response
    // replaced a cookie, the browser drops the old value after the jar already holds the new one.
    void remove_cookie_if_held(const Cookie& cookie);
    // The cookies of the jar that have not expired.
    std::vector<Cookie> cookies() const;

    // What a response set, taken into the jar, and the cookies as the browser should hear of
    // them. With `curl_kept_them` curl's own engine stored them already (the request carried no
    // cookie text); a cookie without a Path attribute is then moved from the folder of the page
    // that set it, where curl put it, to the whole host. Otherwise each is stored here.
    std::vector<Cookie> take_response_cookies(const std::vector<ResponseCookie>& set, bool curl_kept_them);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace http
