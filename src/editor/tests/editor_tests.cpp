#include "editor/id_merge.h"
#include "editor/plan_editor.h"
#include "editor/time_nodes.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "testsupport/message_box_recorder.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <climits>
#include <memory>

using namespace editor;

namespace {

const std::string kSection = store::keys::kInterfaceSection;

QString q(const std::string& s) { return QString::fromStdString(s); }

QStringList texts(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list)
        out.append(QString::fromUtf8(s));
    return out;
}

template <typename T>
T* control(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromUtf8(name));
    if (!found)
        qFatal("no control %s of that kind", name);
    return found;
}

// A data folder of its own for each test: the settings file and an open plan database.
struct Fixture {
    QTemporaryDir dir;
    store::SettingsFile settings{dir.filePath(QStringLiteral("pz.ini")).toStdString()};
    store::PlanStore plans;
    testsupport::MessageBoxRecorder messages;

    Fixture() {
        if (!plans.open(dir.filePath(QStringLiteral("data.db")).toStdString()))
            qFatal("cannot open the test database");
    }

    std::unique_ptr<PlanEditor> open(std::string name = {}, ListingPicker picker = {},
                                     store::PlanStore* other_plans = nullptr) {
        auto editor = std::make_unique<PlanEditor>(nullptr, other_plans ? *other_plans : plans, settings,
                                                   std::move(name), std::move(picker));
        // The plan is loaded by the window itself when it is first shown.
        editor->show();
        if (!QTest::qWaitForWindowActive(editor.get()))
            qWarning("the plan editor was not activated");
        return editor;
    }

    common::Plan plan(const char* nick) { return plans.load_plan_by_name(nick); }
};

common::Plan make_plan(std::string nick, std::string id, std::string times, std::string sort, std::string sort1) {
    common::Plan p;
    p.nick = std::move(nick);
    p.id = std::move(id);
    p.times = std::move(times);
    p.sort = std::move(sort);
    p.sort1 = std::move(sort1);
    return p;
}

// Fills the fields a save needs (the name, the IDs, the times).
void fill_plan(QWidget& w, const char* name, const char* ids, const char* times) {
    control<QLineEdit>(w, "编辑框方案名称")->setText(QString::fromUtf8(name));
    control<QPlainTextEdit>(w, "编辑框编号")->setPlainText(QString::fromUtf8(ids));
    control<QPlainTextEdit>(w, "编辑框时间")->setPlainText(QString::fromUtf8(times));
}

} // namespace

class EditorTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void generate_data() {
        QTest::addColumn<QStringList>("boxes"); // start h, start m, end h, end m, interval, filter
        QTest::addColumn<QString>("nodes");
        QTest::addColumn<QString>("message");
        const QString range = QStringLiteral("请正确填写开始时间和结束时间");
        const QString interval = QStringLiteral("间隔时间不能小于1分钟");
        const auto L = texts;
        QTest::newRow("every 30") << L({"8", "0", "9", "0", "30", ""}) << "08:00,08:30,09:00" << "";
        QTest::newRow("end between nodes") << L({"8", "0", "9", "0", "25", ""}) << "08:00,08:25,08:50" << "";
        QTest::newRow("filter 30 leaves out 00 and 30") << L({"8", "0", "9", "0", "15", "30"}) << "08:15,08:45" << "";
        QTest::newRow("last minutes of the day") << L({"23", "50", "23", "59", "5", ""}) << "23:50,23:55" << "";
        QTest::newRow("start equals end") << L({"8", "0", "8", "0", "5", ""}) << "" << range;
        QTest::newRow("start after end, any interval") << L({"9", "0", "8", "0", "0", ""}) << "" << range;
        QTest::newRow("all boxes empty") << L({"", "", "", "", "", ""}) << "" << range;
        QTest::newRow("interval 0") << L({"8", "0", "9", "0", "0", ""}) << "" << interval;
        QTest::newRow("interval empty") << L({"8", "0", "9", "0", "", ""}) << "" << interval;
        QTest::newRow("interval negative") << L({"8", "0", "9", "0", "-5", ""}) << "" << interval;
        QTest::newRow("filter 1 leaves nothing") << L({"8", "0", "9", "0", "10", "1"}) << "" << "";
        QTest::newRow("minutes past 59 count on") << L({"8", "75", "10", "0", "30", ""}) << "09:15,09:45" << "";
        QTest::newRow("negative filter as its absolute value") << L({"8", "0", "9", "0", "15", "-30"}) << "08:15,08:45" << "";
        QTest::newRow("hours not folded at 24") << L({"23", "50", "24", "10", "10", ""}) << "23:50,24:00,24:10" << "";
        QTest::newRow("pasted text reads its leading number") << L({" 8x", "0", "9abc", "0", "30min", "x"})
                                                             << "08:00,08:30,09:00" << "";
        QTest::newRow("interval past the end gives the start only") << L({"8", "0", "9", "0", "90", ""}) << "08:00" << "";
    }
    void generate() {
        QFETCH(QStringList, boxes);
        QFETCH(QString, nodes);
        QFETCH(QString, message);
        const GeneratedNodes got = generate_time_nodes({boxes[0].toStdString(), boxes[1].toStdString(),
                                                        boxes[2].toStdString(), boxes[3].toStdString(),
                                                        boxes[4].toStdString(), boxes[5].toStdString()});
        QCOMPARE(q(got.nodes), nodes);
        QCOMPARE(q(got.message), message);
    }

    // Numbers of many digits must neither hang the window nor fill the memory.
    void generate_from_huge_boxes() {
        const std::string huge = "99999999999999999999999";
        GeneratedNodes got = generate_time_nodes({"0", "0", huge, "0", "1", ""});
        QCOMPARE(count_entries(got.nodes), kMaxTimeNodes);
        QVERIFY(got.nodes.starts_with("00:00,00:01,"));

        got = generate_time_nodes({"-" + huge, "0", "0", "0", "1", "7"});
        QVERIFY(got.ok());
        QVERIFY(count_entries(got.nodes) <= kMaxTimeNodes);

        // A step that would run past the largest number ends the list.
        got = generate_time_nodes({"0", "1", huge, "0", huge, ""});
        QCOMPARE(q(got.nodes), QStringLiteral("00:01"));
        got = generate_time_nodes({"100000000000000000", "0", huge, "0", "1000000000000000000", ""});
        QCOMPARE(q(got.nodes), QStringLiteral("100000000000000000:00,116666666666666666:40,"
                                              "133333333333333333:20,150000000000000000:00"));
    }

    void refresh_count_data() {
        using enum common::PlanMode;
        QTest::addColumn<QString>("times");
        QTest::addColumn<QString>("ids");
        QTest::addColumn<qlonglong>("count");
        QTest::addColumn<common::PlanMode>("mode");
        QTest::addColumn<qlonglong>("result");
        QTest::newRow("fixed: nodes times ids") << "08:00,08:30,09:00" << "1,2" << 0LL << FixedPoint << 6LL;
        QTest::newRow("batch: nodes times count") << "08:00,08:30,09:00" << "1,2,3,4,5" << 2LL << BatchRotation << 6LL;
        QTest::newRow("empty times, fixed") << "" << "1,2" << 5LL << FixedPoint << 0LL;
        QTest::newRow("empty times, batch") << "" << "1,2" << 5LL << BatchRotation << 0LL;
        QTest::newRow("comma at the end counts") << "08:00," << "1" << 0LL << FixedPoint << 2LL;
        QTest::newRow("empty entry counts") << "08:00,,09:00" << "1" << 0LL << FixedPoint << 3LL;
        QTest::newRow("line breaks do not separate") << "08:00\n08:30" << "1\n2" << 0LL << FixedPoint << 1LL;
        QTest::newRow("empty ids, fixed") << "08:00" << "" << 0LL << FixedPoint << 0LL;
        QTest::newRow("no mode") << "08:00" << "1" << 3LL << Neither << -1LL;
        QTest::newRow("huge count saturates") << "08:00,09:00" << "1" << LLONG_MAX << BatchRotation << LLONG_MAX;
        QTest::newRow("negative count as typed") << "08:00,09:00" << "1" << -3LL << BatchRotation << -6LL;
    }
    void refresh_count() {
        QFETCH(QString, times);
        QFETCH(QString, ids);
        QFETCH(qlonglong, count);
        QFETCH(common::PlanMode, mode);
        QFETCH(qlonglong, result);
        QCOMPARE(editor::refresh_count(times.toStdString(), ids.toStdString(), count, mode), result);
    }

    void merge_data() {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("merged");
        QTest::newRow("own first, no repeat, no spaces") << " 123 , 456 " << "456,789," << "123,456,789";
        QTest::newRow("full-width spaces") << "\u3000123\u3000" << "\u3000789 ," << "123,789";
        QTest::newRow("whole IDs compared") << "123" << "1123,12,123," << "123,1123,12";
        QTest::newRow("nothing picked tidies the box") << "1,,2,1, ,3," << "" << "1,2,3";
        QTest::newRow("empty box") << "" << "7,8," << "7,8";
        QTest::newRow("both empty") << "" << "" << "";
        QTest::newRow("line breaks stay inside an ID") << "1\n" << "2," << "1\n,2";
    }
    void merge() {
        QFETCH(QString, own);
        QFETCH(QString, picked);
        QFETCH(QString, merged);
        QCOMPARE(q(merge_ids(own.toStdString(), picked.toStdString())), merged);
    }

    void window_and_controls() {
        Fixture f;
        auto editor = f.open();
        QCOMPARE(editor->windowTitle(), QStringLiteral("刷新方案设置"));
        QVERIFY(editor->isModal());
        QCOMPARE(editor->size(), kPlanEditorClientSize);
        const QRect client(QPoint(0, 0), editor->size());
        for (QWidget* child : editor->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            QVERIFY2(client.contains(child->geometry()), qPrintable(child->objectName()));
            for (QWidget* inner : child->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                if (!inner->objectName().isEmpty() && !inner->objectName().startsWith(QLatin1String("qt_")))
                    QVERIFY2(QRect(QPoint(0, 0), child->size()).contains(inner->geometry()),
                             qPrintable(inner->objectName()));
        }
        QCOMPARE(control<QPushButton>(*editor, "按钮1")->parentWidget()->objectName(), QStringLiteral("分组框1"));
        QCOMPARE(control<QLineEdit>(*editor, "编辑框时1")->geometry(), QRect(58, 14, 25, 21));
        QCOMPARE(control<QLabel>(*editor, "标签提示")->text(), QStringLiteral("提示栏"));
        QVERIFY(control<QRadioButton>(*editor, "单选框出售")->isChecked());
        QVERIFY(control<QRadioButton>(*editor, "单选框批量轮换")->isChecked());
        QVERIFY(control<QLineEdit>(*editor, "编辑框个数")->isEnabled());
        auto* fixed = control<QRadioButton>(*editor, "单选框定点刷新");
        QVERIFY(fixed->group() && fixed->group()->exclusive());
        QCOMPARE(fixed->group()->buttons().size(), 2);
        QCOMPARE(control<QRadioButton>(*editor, "单选框出租")->group()->buttons().size(), 2);
    }

    void boxes_remember_their_text() {
        Fixture f;
        {
            auto editor = f.open();
            auto* start_hour = control<QLineEdit>(*editor, "编辑框时1");
            QTest::keyClicks(start_hour, QStringLiteral("7"));
            QCOMPARE(f.settings.read(kSection, "编辑框时1"), std::string("7"));
            start_hour->setText(QStringLiteral(" 8\u3000"));
            QCOMPARE(f.settings.read(kSection, "编辑框时1"), std::string("8"));
            QTest::keyClicks(control<QLineEdit>(*editor, "编辑框个数"), QStringLiteral("3"));
            QTest::keyClicks(control<QLineEdit>(*editor, "编辑框分2"), QStringLiteral("45"));
            control<QLineEdit>(*editor, "编辑框时2")->setText(QStringLiteral("22"));
            control<QLineEdit>(*editor, "编辑框时2")->clear();
            QCOMPARE(f.settings.read(kSection, "编辑框时2"), std::string());
            // The interval and the filter are not remembered.
            QTest::keyClicks(control<QLineEdit>(*editor, "编辑框间隔"), QStringLiteral("5"));
            QCOMPARE(f.settings.read(kSection, "编辑框间隔"), std::string());
        }
        f.settings.write(kSection, "编辑框分1", "30");
        auto editor = f.open();
        QCOMPARE(control<QLineEdit>(*editor, "编辑框时1")->text(), QStringLiteral("8"));
        QCOMPARE(control<QLineEdit>(*editor, "编辑框分1")->text(), QStringLiteral("30"));
        QCOMPARE(control<QLineEdit>(*editor, "编辑框时2")->text(), QString());
        QCOMPARE(control<QLineEdit>(*editor, "编辑框分2")->text(), QStringLiteral("45"));
        QCOMPARE(control<QLineEdit>(*editor, "编辑框个数")->text(), QStringLiteral("3"));
        QCOMPARE(control<QLineEdit>(*editor, "编辑框间隔")->text(), QString());
    }

    void missing_data_folder_is_passed_over() {
        Fixture f;
        const store::SettingsFile nowhere(f.dir.filePath(QStringLiteral("missing/data/pz.ini")).toStdString());
        {
            PlanEditor editor(nullptr, f.plans, nowhere, {}, {});
            QTest::keyClicks(control<QLineEdit>(editor, "编辑框时1"), QStringLiteral("9"));
            QCOMPARE(control<QLineEdit>(editor, "编辑框时1")->text(), QStringLiteral("9"));
        }
        PlanEditor editor(nullptr, f.plans, nowhere, {}, {});
        QCOMPARE(control<QLineEdit>(editor, "编辑框时1")->text(), QString());
        QVERIFY(f.messages.texts().isEmpty());
    }

    void integer_boxes_refuse_typed_letters() {
        Fixture f;
        auto editor = f.open();
        for (const char* name : {"编辑框时1", "编辑框间隔", "编辑框个数", "编辑框过滤"}) {
            auto* box = control<QLineEdit>(*editor, name);
            box->clear();
            QTest::keyClicks(box, QStringLiteral("1a-2 b."));
            QCOMPARE(box->text(), QStringLiteral("1-2"));
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), QStringLiteral("1-"));
            box->clear();
            QGuiApplication::clipboard()->setText(QStringLiteral("x9 分"));
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(box->text(), QStringLiteral("x9 分"));
        }
        // The name box is an ordinary box.
        QTest::keyClicks(control<QLineEdit>(*editor, "编辑框方案名称"), QStringLiteral("a b"));
        QCOMPARE(control<QLineEdit>(*editor, "编辑框方案名称")->text(), QStringLiteral("a b"));
    }

    void arrow_keys_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty hour up") << "编辑框时1" << "" << int(Qt::Key_Up) << "1";
        QTest::newRow("empty hour down") << "编辑框时1" << "" << int(Qt::Key_Down) << "23";
        QTest::newRow("hour 23 up wraps") << "编辑框时2" << "23" << int(Qt::Key_Up) << "0";
        QTest::newRow("hour 0 down wraps") << "编辑框时2" << "0" << int(Qt::Key_Down) << "23";
        QTest::newRow("hour leading zero") << "编辑框时1" << "08" << int(Qt::Key_Up) << "9";
        QTest::newRow("hour 30 not corrected up") << "编辑框时1" << "30" << int(Qt::Key_Up) << "31";
        QTest::newRow("hour 30 not corrected down") << "编辑框时1" << "30" << int(Qt::Key_Down) << "29";
        QTest::newRow("minute 59 up wraps") << "编辑框分1" << "59" << int(Qt::Key_Up) << "0";
        QTest::newRow("empty minute down") << "编辑框分2" << "" << int(Qt::Key_Down) << "59";
        QTest::newRow("minute 23 up is no hour") << "编辑框分2" << "23" << int(Qt::Key_Up) << "24";
        QTest::newRow("negative hour steps on") << "编辑框时1" << "-1" << int(Qt::Key_Up) << "0";
        QTest::newRow("pasted text reads its number") << "编辑框分1" << "7x" << int(Qt::Key_Up) << "8";
    }
    void arrow_keys() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(int, key);
        QFETCH(QString, after);
        Fixture f;
        auto editor = f.open();
        auto* edit = editor->findChild<QLineEdit*>(box);
        QVERIFY(edit);
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key(key));
        QCOMPARE(edit->text(), after);
        QCOMPARE(q(f.settings.read(kSection, box.toStdString())), after);
    }

    void arrows_move_focus_and_select() {
        Fixture f;
        auto editor = f.open();
        auto* start_hour = control<QLineEdit>(*editor, "编辑框时1");
        auto* start_minute = control<QLineEdit>(*editor, "编辑框分1");
        auto* end_hour = control<QLineEdit>(*editor, "编辑框时2");
        auto* end_minute = control<QLineEdit>(*editor, "编辑框分2");
        start_minute->setText(QStringLiteral("15"));
        end_hour->setText(QStringLiteral("10"));
        start_hour->setFocus();
        QTest::keyClick(start_hour, Qt::Key_Right);
        QVERIFY(start_minute->hasFocus());
        QCOMPARE(start_minute->selectedText(), QStringLiteral("15"));
        QTest::keyClick(start_minute, Qt::Key_Left);
        QVERIFY(start_hour->hasFocus());
        end_minute->setFocus();
        QTest::keyClick(end_minute, Qt::Key_Left);
        QVERIFY(end_hour->hasFocus());
        QCOMPARE(end_hour->selectedText(), QStringLiteral("10"));
        QTest::keyClick(end_hour, Qt::Key_Right);
        QVERIFY(end_minute->hasFocus());
        // Left in an hour box and Right in a minute box only move the cursor.
        QTest::keyClick(end_minute, Qt::Key_Right);
        QVERIFY(end_minute->hasFocus());

        // A click puts the cursor down, the release selects everything.
        QTest::mouseClick(end_hour, Qt::LeftButton, {}, QPoint(3, 10));
        QVERIFY(end_hour->hasFocus());
        QCOMPARE(end_hour->selectedText(), QStringLiteral("10"));
        QTest::keyClicks(end_hour, QStringLiteral("7"));
        QCOMPARE(end_hour->text(), QStringLiteral("7"));
    }

    void save_checks_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ids");
        QTest::addColumn<QString>("times");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("message");
        QTest::newRow("all empty") << "" << "" << "" << true << "" << "请填写方案名称";
        QTest::newRow("name of spaces") << " \u3000 " << "1" << "08:00" << true << "2" << "请填写方案名称";
        QTest::newRow("no IDs") << "A" << "  " << "08:00" << true << "2" << "请选择需要刷新的信息id";
        QTest::newRow("no times") << "A" << "1" << " " << true << "2" << "请选择需要刷新的时间节点";
        QTest::newRow("batch without count") << "A" << "1" << "08:00" << true << "" << "请填写刷新的次数";
        QTest::newRow("fixed needs no count") << "A" << "1" << "08:00" << false << "" << "保存成功";
        QTest::newRow("batch with count") << "A" << "1" << "08:00" << true << "2" << "保存成功";
    }
    void save_checks() {
        QFETCH(QString, name);
        QFETCH(QString, ids);
        QFETCH(QString, times);
        QFETCH(bool, batch);
        QFETCH(QString, count);
        QFETCH(QString, message);
        Fixture f;
        auto editor = f.open();
        fill_plan(*editor, name.toUtf8().constData(), ids.toUtf8().constData(), times.toUtf8().constData());
        control<QLineEdit>(*editor, "编辑框个数")->setText(count);
        control<QRadioButton>(*editor, batch ? "单选框批量轮换" : "单选框定点刷新")->click();
        control<QPushButton>(*editor, "按钮保存方案")->click();
        QCOMPARE(f.messages.texts(), QStringList{message});
        QCOMPARE(f.plan("A").empty(), message != QStringLiteral("保存成功"));
        // The window stays open with every field as it was.
        QVERIFY(editor->isVisible());
        QCOMPARE(control<QLineEdit>(*editor, "编辑框方案名称")->text(), name);
        QCOMPARE(control<QPlainTextEdit>(*editor, "编辑框编号")->toPlainText(), ids);
    }

    void save_writes_the_columns_data() {
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<bool>("rent");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("num");
        QTest::addColumn<QString>("sort1");
        QTest::addColumn<QString>("numall");
        // Three nodes and two IDs.
        QTest::newRow("fixed point, sale: num empty") << true << false << "5" << "1" << "" << "1" << "6";
        QTest::newRow("batch, rent") << false << true << "4" << "2" << "4" << "2" << "12";
        QTest::newRow("batch count kept as typed") << false << false << " 2x" << "2" << " 2x" << "1" << "6";
    }
    void save_writes_the_columns() {
        QFETCH(bool, fixed);
        QFETCH(bool, rent);
        QFETCH(QString, count);
        QFETCH(QString, sort);
        QFETCH(QString, num);
        QFETCH(QString, sort1);
        QFETCH(QString, numall);
        Fixture f;
        auto editor = f.open();
        fill_plan(*editor, " 早班\u3000", " 11,22\n", " 08:00,08:30,09:00 ");
        control<QLineEdit>(*editor, "编辑框个数")->setText(count);
        control<QLineEdit>(*editor, "编辑框间隔")->setText(QStringLiteral("30"));
        control<QRadioButton>(*editor, fixed ? "单选框定点刷新" : "单选框批量轮换")->click();
        control<QRadioButton>(*editor, rent ? "单选框出租" : "单选框出售")->click();
        control<QPushButton>(*editor, "按钮保存方案")->click();
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("保存成功")});
        const common::Plan p = f.plan("早班");
        QCOMPARE(q(p.nick), QStringLiteral("早班"));
        QCOMPARE(q(p.id), QStringLiteral("11,22\n")); // trimming takes spaces only
        QCOMPARE(q(p.times), QStringLiteral("08:00,08:30,09:00"));
        QCOMPARE(q(p.sort), sort);
        QCOMPARE(q(p.num), num);
        QCOMPARE(q(p.interval), QString());
        QCOMPARE(q(p.sort1), sort1);
        QCOMPARE(q(p.numall), numall);
    }

    void saving_an_existing_plan_starts_it_afresh() {
        Fixture f;
        common::Plan old = make_plan("A", "1,2", "08:00", "2", "1");
        old.num = "1";
        QVERIFY(f.plans.save_plan(old));
        f.plans.set_progress("A", "2");
        f.plans.set_today_plan_count("A", "2024年3月5日");
        QCOMPARE(f.plan("A").today, std::string("1"));
        f.settings.write(kSection, "编辑框个数", "1");
        auto editor = f.open("A");
        QCOMPARE(control<QLineEdit>(*editor, "编辑框方案名称")->text(), QStringLiteral("A"));
        control<QPushButton>(*editor, "按钮保存方案")->click();
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("保存成功")});
        const common::Plan p = f.plan("A");
        QCOMPARE(q(p.id), QStringLiteral("1,2"));
        QCOMPARE(q(p.progress), QString());
        QCOMPARE(q(p.today), QString());
        QCOMPARE(q(p.date1), QString());
    }

    void renaming_keeps_the_original() {
        Fixture f;
        QVERIFY(f.plans.save_plan(make_plan("A", "1", "08:00", "1", "2")));
        auto editor = f.open("A");
        control<QLineEdit>(*editor, "编辑框方案名称")->setText(QStringLiteral("B"));
        control<QPushButton>(*editor, "按钮保存方案")->click();
        QVERIFY(f.plan("A") == make_plan("A", "1", "08:00", "1", "2"));
        QCOMPARE(q(f.plan("B").times), QStringLiteral("08:00"));
        QCOMPARE(q(f.plan("B").sort1), QStringLiteral("2"));
    }

    void quotes_and_semicolons_round_trip() {
        Fixture f;
        const char* name = "a'b\"c; drop table data; --";
        const char* ids = "1'1,\"2\";--,3";
        const char* times = "08:00','x');--";
        {
            auto editor = f.open();
            fill_plan(*editor, name, ids, times);
            control<QLineEdit>(*editor, "编辑框个数")->setText(QStringLiteral("1"));
            control<QPushButton>(*editor, "按钮保存方案")->click();
            QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("保存成功")});
        }
        auto editor = f.open(name);
        QCOMPARE(control<QLineEdit>(*editor, "编辑框方案名称")->text(), QString::fromUtf8(name));
        QCOMPARE(control<QPlainTextEdit>(*editor, "编辑框编号")->toPlainText(), QString::fromUtf8(ids));
        QCOMPARE(control<QPlainTextEdit>(*editor, "编辑框时间")->toPlainText(), QString::fromUtf8(times));
    }

    void loaded_plan_fills_the_controls() {
        Fixture f;
        common::Plan stored = make_plan("A", "5,6", "10:00", "1", "1");
        stored.interval = "15"; // only an older program wrote it
        QVERIFY(f.plans.save_plan(stored));
        auto editor = f.open("A");
        QCOMPARE(control<QPlainTextEdit>(*editor, "编辑框编号")->toPlainText(), QStringLiteral("5,6"));
        QCOMPARE(control<QPlainTextEdit>(*editor, "编辑框时间")->toPlainText(), QStringLiteral("10:00"));
        QCOMPARE(control<QLineEdit>(*editor, "编辑框间隔")->text(), QStringLiteral("15"));
        QVERIFY(control<QRadioButton>(*editor, "单选框定点刷新")->isChecked());
        QVERIFY(control<QRadioButton>(*editor, "单选框出售")->isChecked());
        // Selecting the mode from the plan is no click: the count box stays enabled.
        auto* count = control<QLineEdit>(*editor, "编辑框个数");
        QVERIFY(count->isEnabled());
        control<QRadioButton>(*editor, "单选框定点刷新")->click();
        QVERIFY(!count->isEnabled());
        control<QRadioButton>(*editor, "单选框批量轮换")->click();
        QVERIFY(count->isEnabled());
        // Activating again loads nothing over the agent's edits.
        control<QLineEdit>(*editor, "编辑框方案名称")->setText(QStringLiteral("edited"));
        editor->load_edited_plan();
        QCOMPARE(control<QLineEdit>(*editor, "编辑框方案名称")->text(), QStringLiteral("edited"));
    }

    void the_plan_is_loaded_when_first_shown_even_without_activation() {
        Fixture f;
        QVERIFY(f.plans.save_plan(make_plan("A", "5,6", "10:00", "1", "1")));
        PlanEditor editor(nullptr, f.plans, f.settings, "A", {});
        // A window manager may activate a window late or never.
        editor.setAttribute(Qt::WA_ShowWithoutActivating);
        editor.show();
        QCOMPARE(control<QLineEdit>(editor, "编辑框方案名称")->text(), QStringLiteral("A"));
        QCOMPARE(control<QPlainTextEdit>(editor, "编辑框编号")->toPlainText(), QStringLiteral("5,6"));
    }

    void unknown_plan_name_shows_an_empty_plan() {
        Fixture f;
        f.settings.write(kSection, "编辑框个数", "4");
        auto editor = f.open("no such plan");
        QCOMPARE(control<QLineEdit>(*editor, "编辑框方案名称")->text(), QString());
        QCOMPARE(control<QPlainTextEdit>(*editor, "编辑框编号")->toPlainText(), QString());
        QCOMPARE(control<QPlainTextEdit>(*editor, "编辑框时间")->toPlainText(), QString());
        QCOMPARE(control<QLineEdit>(*editor, "编辑框间隔")->text(), QString());
        QVERIFY(control<QRadioButton>(*editor, "单选框批量轮换")->isChecked());
        QVERIFY(control<QRadioButton>(*editor, "单选框出租")->isChecked());
        QCOMPARE(control<QLineEdit>(*editor, "编辑框个数")->text(), QStringLiteral("4"));
    }

    void generate_button_fills_the_time_box() {
        Fixture f;
        auto editor = f.open();
        auto* times = control<QPlainTextEdit>(*editor, "编辑框时间");
        times->setPlainText(QStringLiteral("typed"));
        QTest::keyClicks(control<QLineEdit>(*editor, "编辑框时1"), QStringLiteral("8"));
        QTest::keyClicks(control<QLineEdit>(*editor, "编辑框分1"), QStringLiteral("0"));
        QTest::keyClicks(control<QLineEdit>(*editor, "编辑框时2"), QStringLiteral("9"));
        QTest::keyClicks(control<QLineEdit>(*editor, "编辑框分2"), QStringLiteral("0"));
        auto* generate = control<QPushButton>(*editor, "按钮生成时间节点");
        generate->click();
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("间隔时间不能小于1分钟")});
        QCOMPARE(times->toPlainText(), QStringLiteral("typed"));
        QTest::keyClicks(control<QLineEdit>(*editor, "编辑框间隔"), QStringLiteral("15"));
        QTest::keyClicks(control<QLineEdit>(*editor, "编辑框过滤"), QStringLiteral("30"));
        generate->click();
        QCOMPARE(times->toPlainText(), QStringLiteral("08:15,08:45"));
        control<QLineEdit>(*editor, "编辑框过滤")->setText(QStringLiteral("1"));
        generate->click();
        QCOMPARE(times->toPlainText(), QString());
        QCOMPARE(f.messages.texts().size(), 1);
    }

    void count_button_shows_the_count() {
        Fixture f;
        auto editor = f.open();
        fill_plan(*editor, "", "1,2", "08:00,08:30,09:00");
        auto* hint = control<QLabel>(*editor, "标签提示");
        auto* show = control<QPushButton>(*editor, "按钮查看刷新次数");
        control<QRadioButton>(*editor, "单选框定点刷新")->click();
        show->click();
        QCOMPARE(hint->text(), QStringLiteral("共需刷新 6 次"));
        control<QRadioButton>(*editor, "单选框批量轮换")->click();
        control<QLineEdit>(*editor, "编辑框个数")->setText(QStringLiteral("5"));
        show->click();
        QCOMPARE(hint->text(), QStringLiteral("共需刷新 15 次"));
        control<QPlainTextEdit>(*editor, "编辑框时间")->clear();
        show->click();
        QCOMPARE(hint->text(), QStringLiteral("共需刷新 0 次"));
        QVERIFY(f.messages.texts().isEmpty());
    }

    void picked_listings_merge_into_the_ids() {
        Fixture f;
        QList<bool> asked;
        auto editor = f.open({}, [&](bool sale) {
            asked.append(sale);
            return std::string("456,789,");
        });
        auto* ids = control<QPlainTextEdit>(*editor, "编辑框编号");
        ids->setPlainText(QStringLiteral(" 123 ,\u3000456 "));
        control<QPushButton>(*editor, "按钮1")->click();
        QCOMPARE(ids->toPlainText(), QStringLiteral("123,456,789"));
        control<QRadioButton>(*editor, "单选框出租")->click();
        control<QPushButton>(*editor, "按钮1")->click();
        QCOMPARE(ids->toPlainText(), QStringLiteral("123,456,789"));
        QCOMPARE(asked, (QList<bool>{true, false}));
    }

    void open_plan_editor_returns_when_closed() {
        Fixture f;
        QVERIFY(f.plans.save_plan(make_plan("A", "1", "08:00", "1", "1")));
        QString shown_name;
        QTimer::singleShot(0, [&] {
            QWidget* window = QApplication::activeModalWidget();
            QVERIFY(window);
            QVERIFY(QTest::qWaitForWindowActive(window));
            shown_name = control<QLineEdit>(*window, "编辑框方案名称")->text();
            control<QPushButton>(*window, "按钮保存方案")->click();
            window->close();
        });
        open_plan_editor(nullptr, f.plans, f.settings, "A", {});
        QCOMPARE(shown_name, QStringLiteral("A"));
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("保存成功")});
    }

    void failed_save_keeps_the_fields() {
        Fixture f;
        store::PlanStore closed; // never opened: every save fails
        auto editor = f.open({}, {}, &closed);
        fill_plan(*editor, "A", "1", "08:00");
        control<QLineEdit>(*editor, "编辑框个数")->setText(QStringLiteral("1"));
        control<QPushButton>(*editor, "按钮保存方案")->click();
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("保存失败")});
        QCOMPARE(control<QLineEdit>(*editor, "编辑框方案名称")->text(), QStringLiteral("A"));
        QVERIFY(f.plan("A").empty());
    }
};

QTEST_MAIN(EditorTests)
#include "editor_tests.moc"
