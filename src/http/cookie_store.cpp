#include "http/cookie_store.h"

#include "common/atomic_file.h"

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
    std::array<std::mutex, CURL_LOCK_DATA_LAST> share_locks;

    // Guards the store's own easy handle, through which the jar is read and fed, and the
    // text last written to the file.
    mutable std::mutex jar_mutex;
    CURL* handle = nullptr;
    mutable std::string saved_text;
    mutable bool saved_once = false;

    mutable std::mutex listener_mutex;
    std::function<void(const std::string&, const std::string&)> listener;

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<Impl*>(self)->share_locks[static_cast<std::size_t>(data)].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<Impl*>(self)->share_locks[static_cast<std::size_t>(data)].unlock();
    }

    // Caller holds jar_mutex.
    void feed(const std::string& line) const {
        if (handle)
            curl_easy_setopt(handle, CURLOPT_COOKIELIST, line.c_str());
    }

    // Caller holds jar_mutex. curl keeps an expired cookie until its next clean-up; it is
    // gone for every purpose here already.
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

    // Caller holds jar_mutex.
    std::string file_text() const {
        std::string text(kFileHeader);
        for (const Cookie& cookie : live_cookies())
            if (const auto line = netscape_line(cookie)) {
                text += *line;
                text += '\n';
            }
        return text;
    }

    // Caller holds jar_mutex.
    bool write(const std::string& text) const {
        if (file.empty() || !write_atomically(file, text))
            return false;
        saved_text = text;
        saved_once = true;
        return true;
    }

    // Caller holds jar_mutex.
    void save_if_changed() const {
        const std::string text = file_text();
        if (!saved_once || text != saved_text)
            write(text);
    }
};

CookieStore::CookieStore(std::filesystem::path file) : impl_(std::make_unique<Impl>()) {
    init_curl_once();
    impl_->file = std::move(file);
    impl_->share = curl_share_init();
    if (impl_->share) {
        curl_share_setopt(impl_->share, CURLSHOPT_LOCKFUNC, &Impl::lock);
        curl_share_setopt(impl_->share, CURLSHOPT_UNLOCKFUNC, &Impl::unlock);
        curl_share_setopt(impl_->share, CURLSHOPT_USERDATA, impl_.get());
        curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
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
    std::lock_guard lock(impl_->jar_mutex);
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
}

bool CookieStore::save() const {
    std::lock_guard lock(impl_->jar_mutex);
    return impl_->write(impl_->file_text());
}

void CookieStore::save_if_changed() const {
    std::lock_guard lock(impl_->jar_mutex);
    impl_->save_if_changed();
}

void CookieStore::set_cookie(const Cookie& cookie) { set_cookies({cookie}); }

void CookieStore::set_cookies(const std::vector<Cookie>& cookies) {
    std::lock_guard lock(impl_->jar_mutex);
    for (const Cookie& cookie : cookies)
        if (const auto line = netscape_line(cookie))
            impl_->feed(*line);
    impl_->save_if_changed();
}

void CookieStore::remove_cookie(const Cookie& cookie) {
    // curl has no call that drops one cookie: overwriting it with one that expired long ago
    // has the same effect, and curl discards it at its next clean-up.
    Cookie gone = cookie;
    gone.expires = 1;
    set_cookie(gone);
}

std::vector<Cookie> CookieStore::cookies() const {
    std::lock_guard lock(impl_->jar_mutex);
    return impl_->live_cookies();
}

void CookieStore::set_response_listener(
    std::function<void(const std::string& url, const std::string& set_cookie)> listener) {
    std::lock_guard lock(impl_->listener_mutex);
    impl_->listener = std::move(listener);
}

void CookieStore::notify_response_cookie(const std::string& url, const std::string& set_cookie) const {
    std::function<void(const std::string&, const std::string&)> listener;
    {
        std::lock_guard lock(impl_->listener_mutex);
        listener = impl_->listener;
    }
    if (listener)
        listener(url, set_cookie);
}

} // namespace http
