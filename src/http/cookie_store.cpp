#include "http/cookie_store.h"

#include "common/atomic_file.h"
#include "http/set_cookie.h"
#include "http/url_parts.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace http {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
constexpr std::string_view kFileHeader = "# Netscape HTTP Cookie File\n";

void init_curl_once() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool fits_in_a_field(std::string_view text) {
    return text.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string_view::npos;
}

// The jar's own line for a cookie: host-only cookies carry the bare host and FALSE, domain
// cookies a leading dot and TRUE. Nothing for what a line cannot hold (an empty name, tabs).
std::optional<std::string> netscape_line(const Cookie& cookie) {
    std::string_view domain = cookie.domain;
    if (domain.starts_with('.'))
        domain.remove_prefix(1);
    const std::string path = cookie.path.empty() ? std::string("/") : cookie.path;
    if (domain.empty() || cookie.name.empty() || !fits_in_a_field(domain) || !fits_in_a_field(path) ||
        !fits_in_a_field(cookie.name) || !fits_in_a_field(cookie.value))
        return std::nullopt;
    std::string line;
    if (cookie.http_only)
        line += kHttpOnlyPrefix;
    if (!cookie.host_only)
        line += '.';
    line += domain;
    line += cookie.host_only ? "\tFALSE\t" : "\tTRUE\t";
    line += path;
    line += cookie.secure ? "\tTRUE\t" : "\tFALSE\t";
    line += std::to_string(std::max(0LL, cookie.expires));
    line += '\t';
    line += cookie.name;
    line += '\t';
    line += cookie.value;
    return line;
}

std::optional<Cookie> cookie_of_line(std::string_view line) {
    std::array<std::string_view, 7> fields;
    std::size_t count = 0;
    for (; count < fields.size(); ++count) {
        const std::size_t tab = count + 1 < fields.size() ? line.find('\t') : std::string_view::npos;
        fields[count] = line.substr(0, tab);
        if (tab == std::string_view::npos) {
            ++count;
            break;
        }
        line.remove_prefix(tab + 1);
    }
    if (count != fields.size())
        return std::nullopt;
    Cookie cookie;
    std::string_view domain = fields[0];
    if (domain.starts_with(kHttpOnlyPrefix)) {
        domain.remove_prefix(kHttpOnlyPrefix.size());
        cookie.http_only = true;
    }
    if (domain.starts_with('.'))
        domain.remove_prefix(1);
    cookie.domain = domain;
    cookie.host_only = fields[1] != "TRUE";
    cookie.path = fields[2];
    cookie.secure = fields[3] == "TRUE";
    cookie.expires = std::strtoll(std::string(fields[4]).c_str(), nullptr, 10);
    cookie.name = fields[5];
    cookie.value = fields[6];
    return cookie;
}

bool expired(const Cookie& cookie, long long now) { return cookie.expires != 0 && cookie.expires <= now; }

long long now_seconds() { return static_cast<long long>(std::time(nullptr)); }

bool same_cookie(const Cookie& a, const Cookie& b) {
    return a.domain == b.domain && a.host_only == b.host_only && a.path == b.path && a.name == b.name &&
           a.value == b.value;
}

// Where curl's engine keeps a cookie set without a Path attribute: the folder of the page that
// set it, trailing "/" included ("/magent/house/" for "/magent/house/houselist.aspx?x=1").
std::string folder_of(std::string_view path) {
    path = path.substr(0, path.find('?'));
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string("/") : std::string(path.substr(0, slash + 1));
}

// The jar holds session keys: owner read/write only, also when the file was loosened since.
bool write_atomically(const std::filesystem::path& file, const std::string& text) {
    std::error_code ignored;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), ignored);
    return common::save_file_atomically(file, text, S_IRUSR | S_IWUSR, S_IRUSR | S_IWUSR);
}

} // namespace

struct CookieStore::Impl {
    std::filesystem::path file;
    CURLSH* share = nullptr;
    // The store's own handle on the share, through which the jar is read and fed.
    CURL* handle = nullptr;
    std::string saved_text;
    bool saved_once = false;
    bool changed = false;

    void feed(const std::string& line) {
        if (handle)
            curl_easy_setopt(handle, CURLOPT_COOKIELIST, line.c_str());
    }

    void feed(const Cookie& cookie) {
        if (const auto line = netscape_line(cookie)) {
            feed(*line);
            changed = true;
        }
    }

    // curl keeps an expired cookie until its next clean-up; it is gone for every purpose here
    // already.
    std::vector<Cookie> live_cookies() const {
        std::vector<Cookie> cookies;
        curl_slist* list = nullptr;
        if (!handle || curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &list) != CURLE_OK)
            return cookies;
        const long long now = now_seconds();
        for (const curl_slist* item = list; item; item = item->next)
            if (const auto cookie = cookie_of_line(item->data); cookie && !expired(*cookie, now))
                cookies.push_back(*cookie);
        curl_slist_free_all(list);
        return cookies;
    }

    std::string file_text() const {
        std::string text(kFileHeader);
        for (const Cookie& cookie : live_cookies())
            if (const auto line = netscape_line(cookie)) {
                text += *line;
                text += '\n';
            }
        return text;
    }

    bool write(const std::string& text) {
        if (file.empty() || !write_atomically(file, text))
            return false;
        saved_text = text;
        saved_once = true;
        return true;
    }

    // Moves a cookie curl's engine put under the folder of the page that set it to the whole
    // host. Nothing when curl did not keep it (it refused the cookie).
    void move_to_whole_host(const Cookie& set, const std::string& folder, const std::vector<Cookie>& held) {
        const auto kept = std::find_if(held.begin(), held.end(), [&](const Cookie& c) {
            return c.name == set.name && c.domain == set.domain && c.host_only == set.host_only && c.path == folder;
        });
        if (kept == held.end())
            return;
        Cookie gone = *kept;
        gone.expires = 1;
        feed(gone);
        Cookie whole_host = *kept;
        whole_host.path = "/";
        feed(whole_host);
    }
};

CookieStore::CookieStore(std::filesystem::path file) : impl_(std::make_unique<Impl>()) {
    init_curl_once();
    impl_->file = std::move(file);
    impl_->share = curl_share_init();
    // No lock functions: the jar and every handle attached to it are used by one thread.
    if (impl_->share) {
        curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }
    impl_->handle = curl_easy_init();
    if (impl_->handle && impl_->share)
        curl_easy_setopt(impl_->handle, CURLOPT_SHARE, impl_->share);
}

CookieStore::~CookieStore() {
    if (impl_->handle)
        curl_easy_cleanup(impl_->handle);
    if (impl_->share)
        curl_share_cleanup(impl_->share);
}

void* CookieStore::share() const { return impl_->share; }

void CookieStore::load() {
    std::ifstream in(impl_->file, std::ios::binary);
    for (std::string line; in && std::getline(in, line);) {
        if (line.ends_with('\r'))
            line.pop_back();
        // Comments start with "#", but a HttpOnly cookie's line does too.
        if (line.empty() || (line.starts_with('#') && !line.starts_with(kHttpOnlyPrefix)))
            continue;
        if (const auto cookie = cookie_of_line(line))
            if (const auto clean = netscape_line(*cookie))
                impl_->feed(*clean);
    }
    // What was just read is what the file holds: no need to write it back at once.
    impl_->saved_text = impl_->file_text();
    impl_->saved_once = true;
    impl_->changed = false;
}

bool CookieStore::save() {
    impl_->changed = false;
    return impl_->write(impl_->file_text());
}

void CookieStore::save_if_changed() {
    if (!impl_->changed)
        return;
    impl_->changed = false;
    const std::string text = impl_->file_text();
    if (!impl_->saved_once || text != impl_->saved_text)
        impl_->write(text);
}

void CookieStore::set_cookie(const Cookie& cookie) { impl_->feed(cookie); }

void CookieStore::set_cookies(const std::vector<Cookie>& cookies) {
    for (const Cookie& cookie : cookies)
        impl_->feed(cookie);
}

void CookieStore::remove_cookie(const Cookie& cookie) {
    // curl has no call that drops one cookie: overwriting it with one that expired long ago
    // has the same effect, and curl discards it at its next clean-up.
    Cookie gone = cookie;
    gone.expires = 1;
    impl_->feed(gone);
}

void CookieStore::remove_cookie_if_held(const Cookie& cookie) {
    const std::vector<Cookie> held = impl_->live_cookies();
    if (std::any_of(held.begin(), held.end(), [&](const Cookie& c) { return same_cookie(c, cookie); }))
        remove_cookie(cookie);
}

std::vector<Cookie> CookieStore::cookies() const { return impl_->live_cookies(); }

std::vector<Cookie> CookieStore::take_response_cookies(const std::vector<ResponseCookie>& set, bool curl_kept_them) {
    std::vector<Cookie> heard;
    if (set.empty())
        return heard;
    // curl's engine may have changed the jar even where the parse below refuses a value.
    if (curl_kept_them)
        impl_->changed = true;
    const long long now = now_seconds();
    std::vector<Cookie> held;
    bool held_read = false;
    for (const ResponseCookie& response : set) {
        bool path_given = false;
        const auto cookie = parse_set_cookie(response.set_cookie, host_of_url(response.url), now, &path_given);
        if (!cookie)
            continue;
        heard.push_back(*cookie);
        if (!curl_kept_them) {
            impl_->feed(*cookie);
            continue;
        }
        const std::string folder = folder_of(path_of_url(response.url));
        if (path_given || folder == "/")
            continue;
        if (!held_read) {
            held = impl_->live_cookies();
            held_read = true;
        }
        impl_->move_to_whole_host(*cookie, folder, held);
    }
    return heard;
}

} // namespace http
