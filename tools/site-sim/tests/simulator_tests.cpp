// The simulator is what other tests measure the program against, so what it records and the
// pages it serves are checked here at the byte level, without the program's HTTP client.

#include "site-sim/simulator.h"

#include <QTest>

namespace {

// Pages are GBK: 请先登录！, ('刷新成功！ and 请先登录.
const std::string kSignInFirst = "\xC7\xEB\xCF\xC8\xB5\xC7\xC2\xBC\xA3\xA1";
const std::string kRefreshSucceeded = "('\xCB\xA2\xD0\xC2\xB3\xC9\xB9\xA6\xA3\xA1";
const std::string kSignInPlease = "\xC7\xEB\xCF\xC8\xB5\xC7\xC2\xBC";

std::string get(const sitesim::Simulator& sim, const std::string& target, const std::string& cookie = {}) {
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: " + sim.host() + "\r\n";
    if (!cookie.empty())
        request += "Cookie: " + cookie + "\r\n";
    return sim.send_raw(request + "Connection: close\r\n\r\n");
}

int count_of(const std::string& text, const std::string& piece) {
    int n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

} // namespace

class SimulatorTests final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(sim_.start()); }
    void init() { QVERIFY(sim_.reset()); }

    void records_the_bytes_sent() {
        // Header order, odd letter case and a GBK value must come back exactly as sent.
        const std::string head = "GET /some/where?a=1&b=%2f HTTP/1.1\r\nhost: " + sim_.host() +
                                 "\r\nX-Name: \xD6\xD0\xCE\xC4\r\nAccept: */*\r\nConnection: close\r\n\r\n";
        QVERIFY(sim_.send_raw(head).starts_with("HTTP/1.1 404 "));
        QVERIFY(sim_.set_knob("delay_ms", "0"));
        QVERIFY(!sim_.set_knob("no_such_knob", "1"));

        const auto seen = sim_.requests();
        QCOMPARE(seen.size(), 1u); // control calls are never recorded
        QCOMPARE(seen[0].raw_head, head);
        QCOMPARE(seen[0].target, std::string("/some/where?a=1&b=%2f"));
        QCOMPARE(seen[0].headers.size(), 4u);
        QCOMPARE(seen[0].headers[0].first, std::string("host"));
        QCOMPARE(seen[0].header("x-name"), std::string("\xD6\xD0\xCE\xC4"));

        QVERIFY(sim_.reset());
        QVERIFY(sim_.requests().empty());
    }

    void keeps_connections_alive() {
        const std::string one = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
        const std::string answer = sim_.send_raw(one + "GET /b HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        QCOMPARE(count_of(answer, "HTTP/1.1 404 "), 2);
        const auto seen = sim_.requests();
        QCOMPARE(seen.size(), 2u);
        QCOMPARE(seen[0].connection, seen[1].connection);
    }

    void serves_pages_by_sign_in() {
        const std::string signed_out = get(sim_, "/magent/top.aspx");
        QVERIFY(signed_out.find(kSignInFirst) != std::string::npos);

        const sitesim::SessionCookie cookie = sim_.sign_in();
        QVERIFY(!cookie.empty());
        QVERIFY(get(sim_, "/magent/top.aspx", cookie.pair()).find("AgentId: '4321'") != std::string::npos);

        // 25 listings, 10 a page: the third page shows the last five.
        const std::string page3 = get(sim_, "/magent/house/houselist.aspx?businesstype=cs&page=3", cookie.pair());
        QCOMPARE(count_of(page3, "name=\"selectitem\""), 5);
        QVERIFY(page3.find("value=\"10025\"") != std::string::npos);

        const std::string refresh = "/Magent/House/HouseListAction.aspx?action=refhouse&houseid=10001";
        QVERIFY(get(sim_, refresh, cookie.pair()).find(kRefreshSucceeded) != std::string::npos);
        QVERIFY(sim_.set_knob("refresh.10001", "close||message:\xE6\x97\xA0\xE6\x95\x88")); // 无效
        QVERIFY(get(sim_, refresh, cookie.pair()).empty());
        QVERIFY(get(sim_, refresh, cookie.pair()).find("('\xCE\xDE\xD0\xA7')") != std::string::npos);

        QVERIFY(sim_.sign_out_everywhere());
        QVERIFY(get(sim_, refresh, cookie.pair()).find(kSignInPlease) != std::string::npos);
    }

    void generic_responder_answers_as_asked() {
        const std::string address = sim_.respond_url(302, {"Location: /x", "Set-Cookie: a=1; path=/"}, "b\xC7\xEB");
        const std::string target = address.substr(address.find("/__sim/"));
        QCOMPARE(get(sim_, target),
                 std::string("HTTP/1.1 302 Found\r\nLocation: /x\r\nSet-Cookie: a=1; path=/\r\n"
                             "Content-Length: 3\r\nConnection: close\r\n\r\nb\xC7\xEB"));
        QCOMPARE(sim_.requests().size(), 1u); // the responder is recorded, unlike control calls
    }

private:
    sitesim::Simulator sim_;
};

QTEST_GUILESS_MAIN(SimulatorTests)
#include "simulator_tests.moc"
