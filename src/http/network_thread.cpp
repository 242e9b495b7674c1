#include "http/network_thread.h"

#include "common/wait.h"
#include "http/http_transaction.h"

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace http {
namespace {

// The thread sleeps this long at most when nothing happens; handing work over wakes it at once,
// and curl's own timers (connect and other limits) shorten the sleep when they run.
constexpr int kIdleSleepMs = 60'000;

} // namespace

struct NetworkThread::Impl {
    // Handed over by other threads, guarded by `mutex`.
    std::mutex mutex;
    std::vector<std::function<void()>> tasks;
    bool stopping = false;
    // Wakes the thread only when curl's own wake-up cannot (no multi handle).
    std::condition_variable work_arrived;

    // The network thread's own: never touched by another thread while it runs.
    CURLM* multi = nullptr;
    CookieStore jar;
    CookieListener listener;
    struct Running {
        std::shared_ptr<Exchange> exchange;
        std::unique_ptr<HttpTransaction> transaction;
    };
    std::unordered_map<const Exchange*, Running> running;

    std::thread thread;

    explicit Impl(std::filesystem::path jar_file) : multi(curl_multi_init()), jar(std::move(jar_file)) {}

    void post(std::function<void()> task) {
        {
            std::lock_guard lock(mutex);
            tasks.push_back(std::move(task));
        }
        curl_multi_wakeup(multi);
        work_arrived.notify_one();
    }

    void run() {
        std::vector<std::function<void()>> batch;
        for (;;) {
            // Work handed over before the stop is done first. The stop itself is taken here:
            // the wake-up that announced it may already have been read together with an
            // earlier one.
            bool stop = false;
            {
                std::lock_guard lock(mutex);
                batch.swap(tasks);
                stop = stopping;
            }
            for (std::function<void()>& task : batch) {
                try {
                    task();
                } catch (...) {
                    // A task that ran out of memory is lost; the thread goes on with the others.
                }
            }
            batch.clear();
            int still_running = 0;
            curl_multi_perform(multi, &still_running);
            complete_ended_transfers();
            jar.save_if_changed();
            if (stop)
                break;
            // Work handed over from here on wakes the poll, however early it comes.
            if (curl_multi_poll(multi, nullptr, 0, kIdleSleepMs, nullptr) != CURLM_OK) {
                // No multi handle (curl could not make one): requests end at once with nothing
                // received, and the thread sleeps until work comes.
                std::unique_lock lock(mutex);
                work_arrived.wait_for(lock, std::chrono::milliseconds(kIdleSleepMs),
                                      [this] { return !tasks.empty() || stopping; });
            }
        }
        drop_running_transfers();
        jar.save_if_changed();
        listener = {};
    }

    void begin(const std::shared_ptr<Exchange>& exchange) {
        Running entry{exchange, nullptr};
        try {
            entry.transaction = std::make_unique<HttpTransaction>(std::move(exchange->record), jar);
        } catch (...) {
            exchange->record = RequestRecord{};
            exchange->completion->signal();
            return;
        }
        CURL* handle = entry.transaction->handle();
        if (handle)
            curl_easy_setopt(handle, CURLOPT_PRIVATE, exchange.get());
        if (!handle || curl_multi_add_handle(multi, handle) != CURLM_OK) {
            // Nothing to send, or it cannot be sent: the record says so at once.
            complete(entry);
            return;
        }
        try {
            running.emplace(exchange.get(), std::move(entry));
        } catch (...) {
            curl_multi_remove_handle(multi, handle);
            exchange->record = RequestRecord{};
            exchange->completion->signal();
        }
    }

    void complete_ended_transfers() {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* handle = message->easy_handle;
            const Exchange* key = nullptr;
            curl_easy_getinfo(handle, CURLINFO_PRIVATE, &key);
            curl_multi_remove_handle(multi, handle);
            const auto it = running.find(key);
            if (it == running.end())
                continue;
            Running entry = std::move(it->second);
            running.erase(it);
            complete(entry);
        }
    }

    // The transfer is off the multi handle (or never was on it).
    void complete(Running& entry) {
        std::vector<Cookie> heard;
        try {
            entry.exchange->record = entry.transaction->finish(jar, heard);
        } catch (...) {
            entry.exchange->record = RequestRecord{};
        }
        entry.transaction.reset();
        // The browser hears of the cookies before the caller of the request goes on.
        try {
            if (!heard.empty() && listener)
                listener(heard);
        } catch (...) {
            // The browser misses these cookies; the jar holds them all the same.
        }
        entry.exchange->completion->signal();
    }

    void abandon(const Exchange* key) {
        const auto it = running.find(key);
        if (it == running.end())
            return;
        curl_multi_remove_handle(multi, it->second.transaction->handle());
        running.erase(it);
    }

    // At the end nobody waits for a transfer any more; a waiter that somehow still did would
    // see nothing received.
    void drop_running_transfers() {
        for (auto& [key, entry] : running) {
            curl_multi_remove_handle(multi, entry.transaction->handle());
            entry.transaction.reset();
            entry.exchange->record = RequestRecord{};
            entry.exchange->completion->signal();
        }
        running.clear();
    }
};

NetworkThread::NetworkThread(std::filesystem::path jar_file) : impl_(std::make_unique<Impl>(std::move(jar_file))) {
    // The jar is read first, before any request or cookie handed over can use it.
    impl_->tasks.push_back([impl = impl_.get()] { impl->jar.load(); });
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

NetworkThread::~NetworkThread() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    curl_multi_wakeup(impl_->multi);
    impl_->work_arrived.notify_one();
    impl_->thread.join();
    curl_multi_cleanup(impl_->multi);
}

std::shared_ptr<Exchange> NetworkThread::start(RequestRecord record) {
    auto exchange = std::make_shared<Exchange>();
    exchange->record = std::move(record);
    exchange->completion = std::make_shared<common::Completion>();
    impl_->post([impl = impl_.get(), exchange] { impl->begin(exchange); });
    return exchange;
}

void NetworkThread::abandon(const std::shared_ptr<Exchange>& exchange) {
    // The exchange is held until the task ran, so its address names no other one meanwhile.
    impl_->post([impl = impl_.get(), exchange] { impl->abandon(exchange.get()); });
}

void NetworkThread::set_cookie(const Cookie& cookie) {
    impl_->post([impl = impl_.get(), cookie] { impl->jar.set_cookie(cookie); });
}

void NetworkThread::remove_cookie_if_held(const Cookie& cookie) {
    impl_->post([impl = impl_.get(), cookie] { impl->jar.remove_cookie_if_held(cookie); });
}

void NetworkThread::set_cookie_listener(CookieListener listener) {
    impl_->post([impl = impl_.get(), listener = std::move(listener)] { impl->listener = listener; });
}

std::vector<Cookie> NetworkThread::cookies() {
    if (std::this_thread::get_id() == impl_->thread.get_id())
        return impl_->jar.cookies();
    // Shared with the task, which may still be unwinding when the answer has reached us.
    auto answer = std::make_shared<std::promise<std::vector<Cookie>>>();
    std::future<std::vector<Cookie>> future = answer->get_future();
    impl_->post([impl = impl_.get(), answer] {
        try {
            answer->set_value(impl->jar.cookies());
        } catch (...) {
            answer->set_exception(std::current_exception());
        }
    });
    try {
        return future.get();
    } catch (...) {
        return {};
    }
}

} // namespace http
