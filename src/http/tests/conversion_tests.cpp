// Body conversions towards GBK, and the time-out message's bytes.

#include "suites.h"

#include "common/encoding.h"
#include "http/request_runner.h"
#include "http/text_conversions.h"

#include <QTest>

using namespace http;

namespace {

std::string gbk(const char* utf8) { return common::to_gbk(utf8); }
std::string big5(const char* utf8) { return common::recode(utf8, "UTF-8", "CP950", common::Unmappable::Replace, "?"); }

} // namespace

class ConversionTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void utf8_to_gbk_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("site answer") << QByteArray("刷新成功") << bytes(gbk("刷新成功"));
        QTest::newRow("ascii unchanged") << QByteArray("alert('ok');") << QByteArray("alert('ok');");
        QTest::newRow("character GBK lacks") << QByteArray("a\xf0\x9f\x98\x80" "b刷") << "a?b" + bytes(gbk("刷"));
        QTest::newRow("invalid UTF-8") << QByteArray("a\xff" "b") << QByteArray("a?b");
        QTest::newRow("ends at a zero byte") << QByteArray("ab\0cd", 5) << QByteArray("ab");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void utf8_to_gbk() {
        QFETCH(QByteArray, input);
        QCOMPARE(bytes(http::utf8_to_gbk(text(input))), fetched<QByteArray>("expected"));
    }

    void big5_conversions() {
        QCOMPARE(bytes(big5_to_gbk(big5("中文"))), bytes(gbk("中文")));
        QCOMPARE(bytes(big5_to_gbk_simplified(big5("臺灣東西"))), bytes(gbk("台湾东西")));
        // U+2027 has a Big5 form (A1 45) but none in GBK: the result ends before it.
        QCOMPARE(bytes(big5_to_gbk_simplified(std::string("\xa4\xa4\xa1\x45\xa4\xe5"))), bytes(gbk("中")));
        QCOMPARE(bytes(big5_to_gbk(std::string("a\xff" "b"))), QByteArray("a?b"));
        QCOMPARE(bytes(big5_to_gbk(std::string("ab\0cd", 5))), QByteArray("ab"));
        QCOMPARE(bytes(big5_to_gbk_simplified("")), QByteArray());
    }

    void simplified_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("simplified");
        QTest::newRow("traditional characters") << "網頁刷新" << "网页刷新";
        QTest::newRow("simplified and ascii unchanged") << "abc 简体" << "abc 简体";
        // Each character on its own, never a phrase: a phrase table would keep 乾隆 and make 藉口 借口.
        QTest::newRow("characters, not phrases") << "乾隆藉口" << "干隆藉口";
        QTest::newRow("empty") << "" << "";
    }
    void simplified() {
        QFETCH(QString, text);
        QFETCH(QString, simplified);
        const std::string result = to_simplified(gbk(text.toUtf8().constData()));
        QCOMPARE(bytes(result), bytes(gbk(simplified.toUtf8().constData())));
    }

    void timeout_message_is_gbk() {
        const std::string& message = http::timeout_message();
        QCOMPARE(QString::fromStdString(common::from_gbk(message)),
                 QStringLiteral("超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些。"));
        QVERIFY(message.find('?') == std::string::npos);
    }
};

int run_conversion_tests(int argc, char** argv) {
    ConversionTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "conversion_tests.moc"
