// Five thousand requests through one network thread with every overlap the program produces:
// requests started from handlers inside another request's wait, requests given up at their limit
// and sent again at once while the first is still winding down, and the browser bridge adding
// and removing cookies all the while (from the UI thread, as the browser's signals arrive, and
// from a second thread). Built with the address and thread sanitizers too; afterwards the
// process has the threads and open files it had before.

#include "http/curl_request_runner.h"
#include "http/network_thread.h"
#include "http/request_runner.h"
#include "site-sim/simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

using namespace http;

namespace {

constexpr int kRequests = 5000;

int entries_of(const char* folder) {
    return static_cast<int>(QDir(QString::fromLatin1(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}
int thread_count() { return entries_of("/proc/self/task"); }
int open_files() { return entries_of("/proc/self/fd"); }

Cookie bridge_cookie(const std::string& name, int value) {
    Cookie c;
    c.domain = "127.0.0.1";
    c.name = name;
    c.value = std::to_string(value);
    return c;
}

// What the test saw, kept apart from the test's stack for the listener on the network thread.
struct Heard {
    std::atomic<int> cookies = 0;
};

} // namespace

class StressTests : public QObject {
    Q_OBJECT
    sitesim::Simulator sim_;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(sim_.start());
        QVERIFY(sim_.set_knob("record", "0"));
        QVERIFY(sim_.set_knob("fault", "silent"));
        QVERIFY(sim_.set_knob("fault_path", "/silent"));
    }

    void five_thousand_overlapping_requests() {
        const int threads_before = thread_count();
        const int files_before = open_files();
        const auto heard = std::make_shared<Heard>();
        int sent = 0, answered = 0, timed_out = 0, wrong = 0;
        {
            NetworkThread network;
            CurlRequestRunner runner(network);
            network.set_cookie_listener([heard](const std::vector<Cookie>& cookies) {
                heard->cookies += static_cast<int>(cookies.size());
            });

            const std::string plain = sim_.respond_url(200, {}, "ok");
            const auto send = [&](std::string url, RequestOptions options, const char* expected) {
                ++sent;
                const std::string body = runner.http_request(url, options);
                if (body == timeout_message())
                    ++timed_out;
                else if (body == expected)
                    ++answered;
                else
                    ++wrong;
            };

            // A request from a handler that runs inside another request's wait, as a click does.
            QTimer nested;
            nested.setInterval(0);
            connect(&nested, &QTimer::timeout, &nested, [&] {
                if (sent < kRequests)
                    send(sim_.respond_url(200, {"Set-Cookie: inner=" + std::to_string(sent)}, "inner"), {}, "inner");
            });
            // The browser's cookie signals, on the UI thread.
            int bridge_step = 0;
            QTimer bridge;
            bridge.setInterval(1);
            connect(&bridge, &QTimer::timeout, &bridge, [&] {
                ++bridge_step;
                network.set_cookie(bridge_cookie("ui" + std::to_string(bridge_step % 7), bridge_step));
                network.remove_cookie_if_held(bridge_cookie("ui" + std::to_string((bridge_step + 3) % 7), bridge_step - 4));
            });
            // And cookies handed over from another thread meanwhile.
            std::atomic<bool> stop = false;
            std::thread other([&network, &stop] {
                for (int step = 0; !stop; ++step) {
                    network.set_cookie(bridge_cookie("other" + std::to_string(step % 5), step));
                    network.remove_cookie_if_held(bridge_cookie("other" + std::to_string((step + 2) % 5), step - 3));
                    std::this_thread::sleep_for(std::chrono::microseconds(300));
                }
            });
            nested.start();
            bridge.start();

            RequestOptions normal;
            normal.time_limit = 30;
            RequestOptions at_once;
            at_once.time_limit = 0;
            RequestOptions with_text = normal;
            with_text.method = 1;
            with_text.body = "a=1&b=2";
            with_text.cookies = "k=v";
            for (int round = 0; sent < kRequests; ++round) {
                switch (round % 5) {
                case 0:
                    send(plain, normal, "ok");
                    break;
                case 1:
                    send(sim_.respond_url(200, {"Set-Cookie: round=" + std::to_string(round) + "; Path=/"}, "set"),
                         normal, "set");
                    break;
                case 2:
                    // Given up at once, and sent again while the first is still under way.
                    send(plain, at_once, "ok");
                    send(plain, normal, "ok");
                    break;
                case 3:
                    send(sim_.respond_url(200, {"Set-Cookie: posted=" + std::to_string(round)}, "posted"), with_text,
                         "posted");
                    break;
                default:
                    send(sim_.url("/silent"), at_once, "");
                    break;
                }
            }
            nested.stop();
            bridge.stop();
            stop = true;
            other.join();

            qInfo("%d requests: %d answered, %d given up, %d other; %d cookies heard", sent, answered, timed_out, wrong,
                  heard->cookies.load());
            QCOMPARE(wrong, 0);
            QCOMPARE(answered + timed_out, sent);
            QVERIFY2(timed_out >= kRequests / 10, std::to_string(timed_out).c_str());
            QVERIFY(heard->cookies > 0);
            // Still a working thread with a working jar.
            std::string again = plain;
            QCOMPARE(runner.http_request(again, normal), std::string("ok"));
            QVERIFY(!network.cookies().empty());
            QCOMPARE(thread_count(), threads_before + 1);
        }
        QCOMPARE(thread_count(), threads_before);
        QCOMPARE(open_files(), files_before);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StressTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "stress_tests.moc"
