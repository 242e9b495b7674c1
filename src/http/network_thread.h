#pragma once
// The one thread on which the program talks HTTP. It lives as long as its object: a curl multi
// handle runs every transfer, and the cookie jar (the curl share every transfer is attached to,
// and its file) is used there alone. curl supports neither cookies nor connections shared
// between threads running at once, so no curl object is ever touched by two threads. Other
// threads hand work over and are told when it is done; none of them waits for this thread
// except in cookies().

#include "http/cookie_store.h"
#include "http/request_record.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace common { class Completion; }

namespace http {

// One request handed to the network thread. `record` holds the results once `completion` is
// signalled; the thread does not touch it after that.
struct Exchange {
    RequestRecord record;
    std::shared_ptr<common::Completion> completion;
};

class NetworkThread final {
public:
    // Starts the thread and reads the jar from `jar_file` on it (empty: the jar lives in memory).
    explicit NetworkThread(std::filesystem::path jar_file = {});
    // Drops the transfers still under way (nobody waits for them any more), saves the jar and
    // ends the thread.
    ~NetworkThread();
    NetworkThread(const NetworkThread&) = delete;
    NetworkThread& operator=(const NetworkThread&) = delete;

    // Hands a request over; its completion is signalled from the network thread once its
    // record holds the results.
    std::shared_ptr<Exchange> start(RequestRecord record);
    // Gives the request up: its transfer is taken off the multi handle at once and its result
    // dropped. Nothing happens when it has already ended.
    void abandon(const std::shared_ptr<Exchange>& exchange);

    // The browser bridge's side of the jar; each returns at once and runs on the network thread
    // in the order called. A change is saved to the jar file after it.
    void set_cookie(const Cookie& cookie);
    void remove_cookie_if_held(const Cookie& cookie);
    // Called on the network thread with the cookies each response set (what the browser
    // should learn); an empty function stops it.
    using CookieListener = std::function<void(const std::vector<Cookie>&)>;
    void set_cookie_listener(CookieListener listener);

    // The jar's live cookies, after everything handed over before this call has run. The
    // caller waits for the network thread.
    std::vector<Cookie> cookies();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace http
