#include "sitelogin/picked_ids.h"

#include <QTest>

using namespace sitelogin;

class PickedIdsTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void compares_whole_ids() {
        PickedIds picks;
        picks.add("1123");
        QVERIFY(!picks.holds("123"));
        picks.add("123");
        picks.add("1123");
        QCOMPARE(picks.text(), std::string("1123,123,"));
        // Taking 123 out leaves the longer ID whole.
        picks.remove("123");
        QCOMPARE(picks.text(), std::string("1123,"));
        QCOMPARE(picks.count(), 1);
    }

    void passes_over_what_is_no_id() {
        PickedIds picks;
        picks.add("7");
        picks.add("");
        picks.add("8,9");
        picks.remove("");
        QCOMPARE(picks.text(), std::string("7,"));
        picks.clear();
        QCOMPARE(picks.text(), std::string());
        QCOMPARE(picks.count(), 0);
    }
};

QTEST_GUILESS_MAIN(PickedIdsTests)
#include "picked_ids_tests.moc"
