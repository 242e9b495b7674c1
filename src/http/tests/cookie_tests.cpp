// The jar: cookies fed and read back through the share, and its file.

#include "suites.h"

#include "http/cookie_store.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <ctime>

using namespace http;

namespace {

Cookie cookie(std::string domain, std::string name, std::string value) {
    Cookie c;
    c.domain = std::move(domain);
    c.name = std::move(name);
    c.value = std::move(value);
    return c;
}

bool same(const Cookie& a, const Cookie& b) {
    return a.domain == b.domain && a.host_only == b.host_only && a.path == b.path && a.secure == b.secure &&
           a.http_only == b.http_only && a.expires == b.expires && a.name == b.name && a.value == b.value;
}

const Cookie* find(const std::vector<Cookie>& cookies, const std::string& name) {
    const auto it = std::find_if(cookies.begin(), cookies.end(), [&](const Cookie& c) { return c.name == name; });
    return it == cookies.end() ? nullptr : &*it;
}

QByteArray file_text(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class CookieTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void round_trip_through_the_file() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data/cookies.txt"));
        const long long next_year = static_cast<long long>(std::time(nullptr)) + 365 * 24 * 3600;

        Cookie session = cookie("agent.site.cn", "agent_session", "s3cr3t");
        session.http_only = true;
        Cookie domain = cookie("site.cn", "city", "\xb1\xb1\xbe\xa9"); // GBK bytes stay bytes
        domain.host_only = false;
        domain.path = "/magent";
        domain.secure = true;
        domain.expires = next_year;
        Cookie empty_value = cookie("agent.site.cn", "flag", "");
        {
            CookieStore jar(path.toStdString());
            jar.set_cookie(session);
            jar.set_cookie(domain);
            jar.set_cookie(empty_value);
            QCOMPARE(jar.cookies().size(), 3u);
            jar.save_if_changed();
        }
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        QVERIFY(file_text(path).contains("#HttpOnly_agent.site.cn\tFALSE\t/\tFALSE\t0\tagent_session\ts3cr3t\n"));

        CookieStore reloaded(path.toStdString());
        reloaded.load();
        const std::vector<Cookie> cookies = reloaded.cookies();
        QCOMPARE(cookies.size(), 3u);
        for (const Cookie& expected : {session, domain, empty_value}) {
            const Cookie* got = find(cookies, expected.name);
            QVERIFY2(got && same(*got, expected), expected.name.c_str());
        }

        reloaded.remove_cookie(session);
        QVERIFY(!find(reloaded.cookies(), "agent_session"));
        reloaded.save_if_changed();
        QVERIFY(!file_text(path).contains("agent_session"));
        QVERIFY(file_text(path).contains("city"));
    }

    void replacing_a_cookie() {
        CookieStore jar;
        jar.set_cookie(cookie("a.cn", "k", "1"));
        jar.set_cookie(cookie("a.cn", "k", "2"));
        Cookie other_path = cookie("a.cn", "k", "3");
        other_path.path = "/x";
        jar.set_cookie(other_path);
        const std::vector<Cookie> cookies = jar.cookies();
        QCOMPARE(cookies.size(), 2u);
        QCOMPARE(bytes(find(cookies, "k")->value), QByteArray("2"));
    }

    // The browser drops a replaced cookie's old value after the jar already holds the new one.
    void removing_only_the_value_held() {
        CookieStore jar;
        jar.set_cookie(cookie("a.cn", "k", "new"));
        jar.remove_cookie_if_held(cookie("a.cn", "k", "old"));
        QCOMPARE(jar.cookies().size(), 1u);
        jar.remove_cookie_if_held(cookie("a.cn", "k", "new"));
        QVERIFY(jar.cookies().empty());
    }

    // Fields are tab-separated lines: a tab or line break in one would forge another cookie.
    void refuses_what_a_line_cannot_hold() {
        CookieStore jar;
        jar.set_cookie(cookie("a.cn", "", "v"));
        jar.set_cookie(cookie("a.cn", "k", "v\tTRUE"));
        jar.set_cookie(cookie("a.cn", "k", "v\nevil.cn\tFALSE\t/\tFALSE\t0\tx\ty"));
        jar.set_cookie(cookie("", "k", "v"));
        QVERIFY(jar.cookies().empty());
    }

    void load_skips_what_is_not_a_cookie() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cookies.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# Netscape HTTP Cookie File\r\n"
                   "\r\n"
                   "a.cn\tFALSE\t/\tFALSE\t0\tgood\t1\r\n"
                   "garbage without tabs\n"
                   "Set-Cookie: header=1\n"
                   "a.cn\tFALSE\t/\tFALSE\t1\texpired\t1\n"
                   "a.cn\tFALSE\t/\tFALSE\t0\tshort\n"
                   "\xff\xfe\x00\x01\n");
        file.close();
        CookieStore jar(path.toStdString());
        jar.load();
        const std::vector<Cookie> cookies = jar.cookies();
        QCOMPARE(cookies.size(), 1u);
        QCOMPARE(bytes(cookies.front().name), QByteArray("good"));

        CookieStore missing(dir.filePath(QStringLiteral("none.txt")).toStdString());
        missing.load();
        QVERIFY(missing.cookies().empty());
    }

    // A data folder that cannot be made (a file stands in its way): the jar stays in memory.
    void unwritable_folder() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("data")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        CookieStore jar(dir.filePath(QStringLiteral("data/cookies.txt")).toStdString());
        jar.set_cookie(cookie("a.cn", "k", "1"));
        QVERIFY(!jar.save());
        QCOMPARE(jar.cookies().size(), 1u);
    }
};

int run_cookie_tests(int argc, char** argv) {
    CookieTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "cookie_tests.moc"
