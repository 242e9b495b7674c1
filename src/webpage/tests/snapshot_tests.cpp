#include "webpage/document_snapshot.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace webpage;

namespace {

struct Field {
    QString type, name, id, title, value;
    bool checked = false;
};

QJsonArray to_json(const QList<Field>& fields) {
    QJsonArray array;
    for (const Field& f : fields)
        array.append(QJsonObject{{QStringLiteral("type"), f.type},   {QStringLiteral("name"), f.name},
                                 {QStringLiteral("id"), f.id},       {QStringLiteral("title"), f.title},
                                 {QStringLiteral("value"), f.value}, {QStringLiteral("checked"), f.checked}});
    return array;
}

std::string page_json(const QList<Field>& inputs, const QList<Field>& buttons = {}, bool body = true,
                      const QString& title = QStringLiteral("页")) {
    const QJsonObject page{{QStringLiteral("title"), title},
                           {QStringLiteral("body"), body},
                           {QStringLiteral("inputs"), to_json(inputs)},
                           {QStringLiteral("buttons"), to_json(buttons)}};
    return QJsonDocument(page).toJson(QJsonDocument::Compact).toStdString();
}

DocumentSnapshot page(const QList<Field>& inputs, const QList<Field>& buttons = {}) {
    auto snapshot = DocumentSnapshot::from_json(page_json(inputs, buttons));
    Q_ASSERT(snapshot);
    return *snapshot;
}

Field text(const QString& name, const QString& id = {}, const QString& title = {}) {
    return {QStringLiteral("text"), name, id, title, {}};
}

// The pages the finder cases run on.
DocumentSnapshot fixture(const QString& which) {
    const auto s = [](const char* t) { return QString::fromUtf8(t); };
    if (which == s("login"))
        return page({text(s("user")), {s("hidden"), s("token"), {}, {}, s("x")}, {s("password"), s("pass"), {}, {}, {}},
                     {s("submit"), s("go"), {}, {}, {}}});
    if (which == s("shared name"))
        return page({text(s("q")), text(s("q")), text(s("other"))});
    if (which == s("first id is 2"))
        return page({text(s("a"), s("2")), text(s("b"))});
    if (which == s("file first"))
        return page({{s("file"), s("upload"), {}, {}, {}}, text(s("t"))});
    if (which == s("name 1 third"))
        return page({text(s("a")), text(s("b")), text(s("1"))});
    if (which == s("second named 2"))
        return page({text(s("a")), text(s("2")), text(s("c"))});
    if (which == s("titled"))
        return page({text(s("a"), {}, s("用户名")), text(s("User"))});
    if (which == s("with button"))
        return page({text(s("t")), {s("radio"), s("r"), {}, {}, {}}},
                    {{s("submit"), s("send"), {}, {}, {}}, {s("button"), s("b"), {}, {}, {}}});
    if (which == s("check boxes"))
        return page({{s("checkbox"), s("selectitem"), {}, {}, s("101"), true},
                     text(s("t")),
                     {s("checkbox"), s("selectitem"), {}, {}, s("102"), false}});
    Q_ASSERT(false);
    return {};
}

} // namespace

class SnapshotTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void find_input_data() {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("types");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("index"); // -1: nothing found
        QTest::addColumn<int>("position");
        const QString boxes = QString::fromUtf8(kTextBoxTypes);
        QTest::newRow("key 1 is the user name") << "login" << boxes << "1" << 0 << 0 << 1;
        QTest::newRow("hidden input takes no position") << "login" << boxes << "2" << 0 << 2 << 2;
        QTest::newRow("submit is no text box") << "login" << boxes << "3" << 0 << -1 << -1;
        QTest::newRow("by name") << "login" << boxes << "pass" << 0 << 2 << 2;
        QTest::newRow("shared name, skip 0") << "shared name" << boxes << "q" << 0 << 0 << 1;
        QTest::newRow("shared name, skip 1") << "shared name" << boxes << "q" << 1 << 1 << 2;
        QTest::newRow("shared name, skip 2") << "shared name" << boxes << "q" << 2 << -1 << -1;
        QTest::newRow("id 2 beats position 2") << "first id is 2" << boxes << "2" << 0 << 0 << 1;
        QTest::newRow("unmatched word") << "first id is 2" << boxes << "nosuch" << 0 << -1 << -1;
        QTest::newRow("empty key names a box without title") << "first id is 2" << boxes << "" << 0 << 0 << 1;
        QTest::newRow("file counts as text box") << "file first" << boxes << "1" << 0 << 0 << 1;
        QTest::newRow("file takes a position") << "file first" << boxes << "2" << 0 << 1 << 2;
        QTest::newRow("position match is never skipped") << "name 1 third" << boxes << "1" << 1 << 0 << 1;
        QTest::newRow("skip passes a name match at the position") << "second named 2" << boxes << "2" << 1 << -1 << -1;
        QTest::newRow("by title") << "titled" << boxes << "用户名" << 0 << 0 << 1;
        QTest::newRow("names compare by case") << "titled" << boxes << "user" << 0 << -1 << -1;
        QTest::newRow("fraction cut off") << "shared name" << boxes << "2.9" << 0 << 1 << 2;
        QTest::newRow("number with text is no number") << "shared name" << boxes << "2abc" << 0 << -1 << -1;
        QTest::newRow("negative position") << "shared name" << boxes << "-1" << 0 << -1 << -1;
        QTest::newRow("buttons only when listed") << "with button" << boxes << "2" << 0 << -1 << -1;
        QTest::newRow("buttons after the inputs") << "with button" << "text|button" << "2" << 0 << 3 << 2;
        QTest::newRow("button found by name") << "with button" << "text|button" << "b" << 0 << 3 << 2;
        QTest::newRow("second check box") << "check boxes" << QString::fromUtf8(kCheckBoxTypes) << "2" << 0 << 2 << 2;
        QTest::newRow("past the last check box") << "check boxes" << QString::fromUtf8(kCheckBoxTypes) << "3" << 0 << -1 << -1;
    }
    void find_input() {
        QFETCH(QString, fixture);
        QFETCH(QString, types);
        QFETCH(QString, key);
        QFETCH(int, skip);
        QFETCH(int, index);
        QFETCH(int, position);
        const DocumentSnapshot snapshot = ::fixture(fixture);
        int walked = 0;
        const InputElement* found = snapshot.find_input(types.toStdString(), key.toStdString(), skip, walked);
        QCOMPARE(found ? found->index : -1, index);
        QCOMPARE(walked, position);
    }

    void counts_inputs_of_a_kind_only() {
        const DocumentSnapshot snapshot = fixture(QStringLiteral("with button"));
        QCOMPARE(snapshot.inputs_of_kind("text|button").size(), std::size_t{1});
        const DocumentSnapshot login = fixture(QStringLiteral("login"));
        QCOMPARE(login.inputs_of_kind(kTextBoxTypes).size(), std::size_t{2});
        QCOMPARE(login.inputs_of_kind(kCheckBoxTypes).size(), std::size_t{0});
    }

    void page_without_body_has_no_inputs() {
        const auto snapshot =
            DocumentSnapshot::from_json(page_json({text(QStringLiteral("a"))}, {}, false, QStringLiteral("无正文")));
        QVERIFY(snapshot);
        QCOMPARE(snapshot->title(), std::string("无正文"));
        QVERIFY(!snapshot->has_body());
        QVERIFY(snapshot->inputs_of_kind(kTextBoxTypes).empty());
        int position = 0;
        QVERIFY(!snapshot->find_input(kTextBoxTypes, "1", 0, position));
        QCOMPARE(position, -1);
    }

    void reads_fields_and_writes_back_values() {
        DocumentSnapshot snapshot = fixture(QStringLiteral("check boxes"));
        const InputElement& first = snapshot.inputs().front();
        QCOMPARE(first.value, std::string("101"));
        QVERIFY(first.checked);
        QVERIFY(!snapshot.inputs().back().checked);
        snapshot.set_value(1, "新值");
        QCOMPARE(snapshot.inputs()[1].value, std::string("新值"));
        snapshot.set_value(99, "ignored"); // no such element: nothing happens
        snapshot.set_value(-1, "ignored");
        QCOMPARE(snapshot.inputs()[2].value, std::string("102"));
    }

    void rejects_what_is_no_snapshot_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut off") << QByteArray(R"({"title":"a","body":true,"inputs":[)");
        QTest::newRow("array") << QByteArray("[]");
        QTest::newRow("title not text") << QByteArray(R"({"title":1,"body":true,"inputs":[],"buttons":[]})");
        QTest::newRow("inputs not a list") << QByteArray(R"({"title":"","body":true,"inputs":{},"buttons":[]})");
        QTest::newRow("element not an object") << QByteArray(R"({"title":"","body":true,"inputs":[3],"buttons":[]})");
        QTest::newRow("no buttons") << QByteArray(R"({"title":"","body":true,"inputs":[]})");
    }
    void rejects_what_is_no_snapshot() {
        QFETCH(QByteArray, json);
        QVERIFY(!DocumentSnapshot::from_json(json.toStdString()));
    }

    void key_number_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<qlonglong>("number");
        QTest::newRow("plain") << "3" << 3LL;
        QTest::newRow("blanks around") << " 4 " << 4LL;
        QTest::newRow("plus") << "+5" << 5LL;
        QTest::newRow("fraction") << "2.9" << 2LL;
        QTest::newRow("negative fraction") << "-2.9" << -2LL;
        QTest::newRow("trailing text") << "2abc" << 0LL;
        QTest::newRow("word") << "selectitem" << 0LL;
        QTest::newRow("infinity") << "inf" << 0LL;
        QTest::newRow("not a number") << "nan" << 0LL;
        QTest::newRow("far out") << "1e300" << 1'000'000'000'000'000LL;
    }
    void key_number() {
        QFETCH(QString, key);
        QFETCH(qlonglong, number);
        QCOMPARE(webpage::key_number(key.toStdString()), number);
    }
};

QTEST_GUILESS_MAIN(SnapshotTests)
#include "snapshot_tests.moc"
