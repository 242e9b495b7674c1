#include "common/atomic_file.h"
#include "common/clock.h"
#include "common/encoding.h"
#include "common/text.h"
#include "common/wait.h"
#include "testsupport/clocks.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

using namespace common;

class CommonTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void text_to_int_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("plain") << "42" << 42LL;
        QTest::newRow("leading blanks and sign") << "  -17abc" << -17LL;
        QTest::newRow("plus") << "+5" << 5LL;
        QTest::newRow("no digits") << "abc" << 0LL;
        QTest::newRow("empty") << "" << 0LL;
        QTest::newRow("sign only") << "-" << 0LL;
        QTest::newRow("digits after text") << "x12" << 0LL;
        QTest::newRow("saturates") << "99999999999999999999999" << LLONG_MAX;
        QTest::newRow("saturates negative") << "-99999999999999999999999" << LLONG_MIN;
    }
    void text_to_int() {
        QFETCH(QString, text);
        QFETCH(qlonglong, value);
        QCOMPARE(common::text_to_int(text.toStdString()), value);
    }

    void trim_spaces_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("ascii") << " 8 " << "8";
        QTest::newRow("full width") << "\u3000\u3000早班 \u3000" << "早班";
        QTest::newRow("tabs and line breaks stay") << "\t1,2\r\n" << "\t1,2\r\n";
        QTest::newRow("only spaces") << " \u3000 " << "";
        QTest::newRow("inner spaces stay") << " a b " << "a b";
    }
    void trim_spaces() {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(QString::fromStdString(common::trim_spaces(text.toStdString())), trimmed);
    }

    void text_between_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("between");
        QTest::newRow("site message") << "alert('已刷新过');" << "('" << "'" << "已刷新过";
        QTest::newRow("comma to hash") << "a,b,c#" << "," << "#" << "b,c";
        QTest::newRow("no right marker") << "x('abc" << "('" << "'" << "";
        QTest::newRow("no left marker") << "abc'" << "('" << "'" << "";
        QTest::newRow("ignores case") << "var agentid: '4321';" << "AgentId: '" << "'" << "4321";
        QTest::newRow("first of two") << "AgentId: '1' AgentId: '2'" << "AgentId: '" << "'" << "1";
        QTest::newRow("quote marker") << "a=\"v\"" << "#引号" << "#引号" << "v";
        QTest::newRow("empty between") << "('')" << "('" << "'" << "";
    }
    void text_between() {
        QFETCH(QString, text);
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QString, between);
        QCOMPARE(QString::fromStdString(
                     common::text_between(text.toStdString(), left.toStdString(), right.toStdString())),
                 between);
    }

    void count_and_split() {
        QCOMPARE(count_occurrences("a,b,,c,", ","), 4);
        QCOMPARE(count_occurrences("", ","), 0);
        QCOMPARE(count_occurrences("xAx", "a"), 1);
        QCOMPARE(count_occurrences("abc", ""), 0);
        using V = std::vector<std::string>;
        QCOMPARE(split_at_comma(""), V{});
        QCOMPARE(split_at_comma("a"), V{"a"});
        QCOMPARE(split_at_comma("a,b,"), (V{"a", "b"}));
        QCOMPARE(split_at_comma("a,,b"), (V{"a", "", "b"}));
        QCOMPARE(split_at_comma(","), V{""});
    }

    void percent_encode_keeps_only_unreserved_bytes() {
        QCOMPARE(percent_encode("Az09-._~"), std::string("Az09-._~"));
        QCOMPARE(percent_encode("1&a=b#c d%/?+"), std::string("1%26a%3Db%23c%20d%25%2F%3F%2B"));
        QCOMPARE(percent_encode(std::string("\xD6\xD0\0\r\n", 5)), std::string("%D6%D0%00%0D%0A"));
    }

    void date_text_has_no_leading_zeros() {
        QCOMPARE(QString::fromStdString(date_text({2025, 1, 5, 8, 4, 0, 0})), QStringLiteral("2025年1月5日"));
        QCOMPARE(QString::fromStdString(date_text({2024, 12, 31, 0, 0, 0, 0})), QStringLiteral("2024年12月31日"));
    }

    void local_time_round_trips() {
        const LocalTime t{2024, 3, 5, 8, 4, 59, 250};
        QCOMPARE(to_local(from_local(t)), t);
        testsupport::ManualClock clock(t);
        clock.advance_ms(750);
        QCOMPARE(clock.local_now(), (LocalTime{2024, 3, 5, 8, 5, 0, 0}));
    }

    void gbk_round_trip() {
        const std::string gbk = to_gbk("界面");
        QCOMPARE(QByteArray::fromStdString(gbk).toHex(), QByteArray("bde7c3e6"));
        QCOMPARE(from_gbk(gbk), std::string("界面"));
        QCOMPARE(to_gbk("\xE3\x80\x80"), std::string("\xA1\xA1"));
        QCOMPARE(gbk_length("刷新a"), std::size_t(5));
    }

    void gbk_bad_input_is_replaced() {
        // A lone lead byte in the middle and an incomplete one at the end.
        QCOMPARE(from_gbk("a\xFF" "b\xB0"), std::string("a\xEF\xBF\xBD" "b\xEF\xBF\xBD"));
        // A character GBK lacks becomes "?" and the rest follows.
        QCOMPARE(to_gbk("a\xF0\x9F\x98\x80" "b"), std::string("a?b"));
        // Broken UTF-8 input never stops the conversion.
        QCOMPARE(to_gbk("a\xC3"), std::string("a?"));
        QCOMPARE(from_gbk(""), std::string());
    }

    void atomic_save_keeps_bits_links_and_nothing_half_written() {
        QTemporaryDir dir;
        const std::filesystem::path folder = dir.path().toStdString();
        const auto mode = [](const std::filesystem::path& p) {
            struct stat st {};
            ::stat(p.c_str(), &st);
            return st.st_mode & 07777;
        };
        const auto read = [](const std::filesystem::path& p) {
            std::ifstream in(p, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        const mode_t umask_before = ::umask(022);

        const std::filesystem::path file = folder / "a.ini";
        QVERIFY(save_file_atomically(file, "one", 0666));
        QCOMPARE(mode(file), mode_t(0644));
        ::chmod(file.c_str(), 0640);
        QVERIFY(save_file_atomically(file, "two", 0666));
        QCOMPARE(read(file), std::string("two"));
        QCOMPARE(mode(file), mode_t(0640));
        // Bits outside `kept_bits` go, also from a file loosened by hand.
        ::chmod(file.c_str(), 0664);
        QVERIFY(save_file_atomically(file, "three", 0600, 0600));
        QCOMPARE(mode(file), mode_t(0600));

        // A link stays a link; its file gets the new text.
        const std::filesystem::path link = folder / "link.ini";
        std::filesystem::create_symlink(file, link);
        QVERIFY(save_file_atomically(link, "four", 0666));
        QVERIFY(std::filesystem::is_symlink(link));
        QCOMPARE(read(file), std::string("four"));

        // No folder to write in, or a link to nowhere: refused, and no file is left behind.
        QVERIFY(!save_file_atomically(folder / "missing" / "b.ini", "x", 0666));
        std::filesystem::create_symlink(folder / "nowhere" / "c.ini", folder / "dangling.ini");
        QVERIFY(!save_file_atomically(folder / "dangling.ini", "x", 0666));
        ::umask(umask_before);
        QCOMPARE(std::distance(std::filesystem::directory_iterator(folder), {}), 3);
    }

    void paced_wait_keeps_timers_running() {
        bool fired = false;
        QTimer::singleShot(20, [&] { fired = true; });
        QElapsedTimer t;
        t.start();
        QVERIFY(paced_wait(100));
        QVERIFY(fired);
        QVERIFY(t.elapsed() >= 100);
    }

    void wait_for_completion_and_limit() {
        auto done = std::make_shared<Completion>();
        std::thread worker([done] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            done->signal();
        });
        QCOMPARE(wait_for(done, std::chrono::milliseconds(2000)), WaitOutcome::Completed);
        worker.join();

        auto never = std::make_shared<Completion>();
        QElapsedTimer t;
        t.start();
        QCOMPARE(wait_for(never, std::chrono::milliseconds(150)), WaitOutcome::TimedOut);
        QVERIFY(t.elapsed() >= 150);

        // A limit of 0 times out even when the work is already done.
        QCOMPARE(wait_for(done, std::chrono::milliseconds(0)), WaitOutcome::TimedOut);
    }

    void limits_beyond_the_timer_range_still_wait() {
        // A timer takes at most about 24.8 days; a limit past that must neither be refused by the
        // timer (and never wake) nor overflow into a deadline in the past.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        for (const auto limit : {std::chrono::milliseconds(std::chrono::hours(24 * 30)), std::chrono::milliseconds::max()}) {
            auto done = std::make_shared<Completion>();
            QTimer::singleShot(30, [done] { done->signal(); });
            QCOMPARE(wait_for(done, limit), WaitOutcome::Completed);
        }
        auto never = std::make_shared<Completion>();
        QCOMPARE(wait_for(never, std::chrono::milliseconds::min()), WaitOutcome::TimedOut);
    }

    void nested_wait_finishes_first() {
        auto outer = std::make_shared<Completion>();
        auto inner = std::make_shared<Completion>();
        QStringList order;
        QTimer::singleShot(10, [&] {
            QTimer::singleShot(10, [&] { outer->signal(); });
            QTimer::singleShot(50, [&] { inner->signal(); });
            wait_for(inner, std::chrono::milliseconds(2000));
            order << QStringLiteral("inner");
        });
        QCOMPARE(wait_for(outer, std::chrono::milliseconds(2000)), WaitOutcome::Completed);
        order << QStringLiteral("outer");
        QCOMPARE(order, (QStringList{QStringLiteral("inner"), QStringLiteral("outer")}));
    }
};

QTEST_GUILESS_MAIN(CommonTests)
#include "common_tests.moc"
