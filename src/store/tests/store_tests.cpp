#include "common/encoding.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "store/sqlite.h"
#include "testsupport/ordinary_user_files.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using common::Plan;

namespace {

fs::path path_in(const QTemporaryDir& dir, const char* name) { return fs::path(dir.path().toStdString()) / name; }

void write_file(const fs::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A second connection to the same file, as another program would have.
void exec_beside(const fs::path& file, const char* sql) {
    store::Database db;
    QVERIFY(db.open(file));
    QVERIFY2(db.exec(sql), sql);
}

Plan saved_plan(const std::string& nick, const std::string& id = "a,b,c") {
    Plan p;
    p.nick = nick;
    p.id = id;
    p.times = "08:05,09:10";
    p.sort = "2";
    p.num = "2";
    p.sort1 = "1";
    p.numall = "4";
    return p;
}

std::vector<std::string> listed_names(store::PlanStore& s) {
    std::vector<std::string> names;
    s.list_plans([&](const store::PlanRow& r) { names.push_back(r.nick); });
    return names;
}

} // namespace

class StoreTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void open_creates_folder_file_and_tables() {
        QTemporaryDir dir;
        const fs::path file = path_in(dir, "data/data.db");
        store::PlanStore s;
        QVERIFY(s.open(file));
        QVERIFY(s.is_open());
        QVERIFY(fs::is_regular_file(file));
        QVERIFY(s.save_plan(saved_plan("早班")));

        const QString cli = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        if (cli.isEmpty())
            QSKIP("the sqlite3 shell is not installed");
        QProcess shell;
        shell.start(cli, {QString::fromStdString(file.string()),
                          QStringLiteral("SELECT group_concat(name || ' ' || type, ',') FROM pragma_table_info('data');"
                                         "SELECT group_concat(name || ' ' || type, ',') FROM pragma_table_info('num');"
                                         "SELECT nick FROM data; PRAGMA integrity_check;")});
        QVERIFY(shell.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()),
                 QStringLiteral("nick TEXT,id TEXT,times TEXT,sort TEXT,num TEXT,interval TEXT,progress TEXT,"
                                "sort1 TEXT,numall TEXT,today TEXT,date1 TEXT\n"
                                "date1 TEXT,num TEXT\n早班\nok\n"));
    }

    void open_refuses_unusable_files_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("directory in place") << "directory";
        QTest::newRow("not a database") << "garbage";
        QTest::newRow("table lacks columns") << "other table";
        QTest::newRow("no permission") << "unreadable";
        QTest::newRow("folder cannot be made") << "file as folder";
    }
    void open_refuses_unusable_files() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        fs::path file = path_in(dir, "data.db");
        // Root reads every file: the unreadable one is opened as an ordinary user.
        std::optional<testsupport::OrdinaryUserFiles> ordinary;
        if (kind == QLatin1String("directory")) {
            fs::create_directory(file);
        } else if (kind == QLatin1String("garbage")) {
            write_file(file, std::string(4096, '\x5a') + "SQLite format 3");
        } else if (kind == QLatin1String("other table")) {
            exec_beside(file, "CREATE TABLE data (nick TEXT, other TEXT)");
        } else if (kind == QLatin1String("unreadable")) {
            exec_beside(file, "CREATE TABLE t (x)");
            fs::permissions(file, fs::perms::none);
            ordinary.emplace(dir.path().toStdString());
        } else {
            write_file(path_in(dir, "data"), "x");
            file = path_in(dir, "data/data.db");
        }
        store::PlanStore s;
        QVERIFY(!s.open(file));
        QVERIFY(!s.is_open());
        // A store that did not open answers like an empty one.
        QVERIFY(s.load_plan_by_name("早班").empty());
        QVERIFY(!s.save_plan(saved_plan("早班")));
        QCOMPARE(s.read_today_total("2024年3月5日"), 0LL);
        s.count_one_success_today("2024年3月5日");
        QVERIFY(listed_names(s).empty());
    }

    void plan_round_trips_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("id");
        QTest::newRow("single quote") << "张's 'plan'" << "1,2";
        QTest::newRow("double quote") << "\"早班\"" << "\"1\"";
        QTest::newRow("statement breakers") << "x'; DELETE FROM data; --" << "';--";
        QTest::newRow("wildcards") << "100%_*" << "%";
        QTest::newRow("empty id") << "空" << "";
        QTest::newRow("long id list") << "长" << QString::fromStdString(std::string(200000, '7'));
    }
    void plan_round_trips() {
        QFETCH(QString, nick);
        QFETCH(QString, id);
        QTemporaryDir dir;
        store::PlanStore s;
        QVERIFY(s.open(path_in(dir, "data.db")));
        QVERIFY(s.save_plan(saved_plan("other")));
        const Plan p = saved_plan(nick.toStdString(), id.toStdString());
        QVERIFY(s.save_plan(p));
        QCOMPARE(s.load_plan_by_name(p.nick), p); // progress, today and date1 read empty
        QVERIFY(s.load_plan_by_name("100%").empty());
        QVERIFY(s.load_plan_by_name("x' OR '1'='1").empty());
        QCOMPARE(listed_names(s), (std::vector<std::string>{"other", p.nick}));
        s.delete_plan(p.nick);
        QVERIFY(s.load_plan_by_name(p.nick).empty());
        QCOMPARE(listed_names(s), std::vector<std::string>{"other"});
    }

    void saving_again_replaces_the_row() {
        QTemporaryDir dir;
        store::PlanStore s;
        QVERIFY(s.open(path_in(dir, "data.db")));
        QVERIFY(s.save_plan(saved_plan("早班")));
        QVERIFY(s.set_progress("早班", "b"));
        QCOMPARE(s.set_today_plan_count("早班", "2024年3月5日"), 1LL);
        Plan before = saved_plan("早班");
        before.progress = "b";
        before.today = "1";
        before.date1 = "2024年3月5日";
        QCOMPARE(s.load_plan_by_name("早班"), before);

        const Plan again = saved_plan("早班", "x,y");
        QVERIFY(s.save_plan(again));
        QCOMPARE(s.load_plan_by_name("早班"), again);
        QCOMPARE(listed_names(s).size(), std::size_t(1));
    }

    void failed_insert_keeps_the_earlier_plan() {
        QTemporaryDir dir;
        const fs::path file = path_in(dir, "data.db");
        store::PlanStore s;
        QVERIFY(s.open(file));
        Plan earlier = saved_plan("早班");
        QVERIFY(s.save_plan(earlier));
        QVERIFY(s.set_progress("早班", "b"));
        earlier.progress = "b";
        exec_beside(file, "CREATE TRIGGER refuse BEFORE INSERT ON data WHEN NEW.id = 'refused'"
                          " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        QVERIFY(!s.save_plan(saved_plan("早班", "refused")));
        QCOMPARE(s.load_plan_by_name("早班"), earlier);
        // The store is still usable after the refused save.
        QVERIFY(s.save_plan(saved_plan("早班", "d")));
        QCOMPARE(s.load_plan_by_name("早班").id, std::string("d"));
    }

    void rows_written_by_others_read_as_stored() {
        QTemporaryDir dir;
        const fs::path file = path_in(dir, "data.db");
        store::PlanStore s;
        QVERIFY(s.open(file));
        exec_beside(file, "INSERT INTO data (nick, id) VALUES ('dup', 'first');"
                          "INSERT INTO data (nick, id, today) VALUES ('dup', 'second', '9');"
                          "INSERT INTO data (nick) VALUES (NULL);"
                          "INSERT INTO num (date1, num) VALUES ('2024年3月5日', 41)");
        // Every lookup by name takes the first row; NULL columns read as empty text.
        Plan first;
        first.nick = "dup";
        first.id = "first";
        QCOMPARE(s.load_plan_by_name("dup"), first);
        std::vector<store::PlanRow> rows;
        s.list_plans([&](const store::PlanRow& r) { rows.push_back(r); });
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(rows[1].today, std::string("9"));
        QCOMPARE(rows[2].nick, std::string());
        QCOMPARE(s.read_today_total("2024年3月5日"), 41LL);
        s.count_one_success_today("2024年3月5日");
        QCOMPARE(s.read_today_total("2024年3月5日"), 42LL);

        // A plan changed by another program is read afresh at the next lookup.
        exec_beside(file, "UPDATE data SET id = 'changed' WHERE id = 'first'");
        QCOMPARE(s.load_plan_by_name("dup").id, std::string("changed"));
    }

    // Lookups by name are remembered between changes; each row below changes the plan after it
    // has been read once, by this store or by another connection, and the next lookup must
    // read what a fresh query reads.
    void lookup_sees_every_change_data() {
        QTest::addColumn<QString>("change_name");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("progress");
        QTest::newRow("other connection updates") << "other update" << "changed" << "";
        QTest::newRow("other connection deletes") << "other delete" << "" << "";
        QTest::newRow("other connection inserts an earlier row") << "other replace" << "new" << "";
        QTest::newRow("this store saves") << "save" << "saved" << "";
        QTest::newRow("this store deletes") << "delete" << "" << "";
        QTest::newRow("this store sets progress") << "progress" << "a,b,c" << "b";
        QTest::newRow("this store counts today") << "today" << "a,b,c" << "";
        QTest::newRow("this store reopens another file") << "reopen" << "" << "";
    }
    void lookup_sees_every_change() {
        QFETCH(QString, change_name);
        QFETCH(QString, id);
        QFETCH(QString, progress);
        const std::string change = change_name.toStdString();
        QTemporaryDir dir;
        const fs::path file = path_in(dir, "data.db");
        store::PlanStore s;
        QVERIFY(s.open(file));
        QVERIFY(s.save_plan(saved_plan("早班")));
        QVERIFY(s.save_plan(saved_plan("晚班")));
        QCOMPARE(s.load_plan_by_name("早班").id, std::string("a,b,c"));
        QCOMPARE(s.load_plan_by_name("缺"), Plan());

        if (change == "other update")
            exec_beside(file, "UPDATE data SET id = 'changed' WHERE nick = '早班'");
        else if (change == "other delete")
            exec_beside(file, "DELETE FROM data WHERE nick = '早班'");
        else if (change == "other replace")
            exec_beside(file, "DELETE FROM data; INSERT INTO data (nick, id) VALUES ('早班', 'new')");
        else if (change == "save")
            QVERIFY(s.save_plan(saved_plan("早班", "saved")));
        else if (change == "delete")
            s.delete_plan("早班");
        else if (change == "progress")
            QVERIFY(s.set_progress("早班", "b"));
        else if (change == "today")
            QCOMPARE(s.set_today_plan_count("早班", "2024年3月5日"), 1LL);
        else if (change == "reopen")
            QVERIFY(s.open(path_in(dir, "other.db")));

        const Plan plan = s.load_plan_by_name("早班");
        QCOMPARE(plan.id, id.toStdString());
        QCOMPARE(plan.progress, progress.toStdString());
        if (change == "today")
            QCOMPARE(plan.today, std::string("1"));
        // A name that was missing is found once another connection adds it.
        exec_beside(file, "INSERT INTO data (nick, id) VALUES ('缺', 'found')");
        if (change != "reopen")
            QCOMPARE(s.load_plan_by_name("缺").id, std::string("found"));
    }

    void a_read_batch_looks_at_other_programs_once() {
        QTemporaryDir dir;
        const fs::path file = path_in(dir, "data.db");
        store::PlanStore s;
        QVERIFY(s.open(file));
        QVERIFY(s.save_plan(saved_plan("早班")));
        s.begin_read_batch();
        QCOMPARE(s.load_plan_by_name("早班").id, std::string("a,b,c"));
        exec_beside(file, "UPDATE data SET id = 'other' WHERE nick = '早班'");
        // The batch sees the file as of its first lookup...
        QCOMPARE(s.load_plan_by_name("早班").id, std::string("a,b,c"));
        // ...but this store's own writes at once.
        QVERIFY(s.set_progress("早班", "b"));
        QCOMPARE(s.load_plan_by_name("早班").progress, std::string("b"));
        s.end_read_batch();
        s.begin_read_batch();
        QCOMPARE(s.load_plan_by_name("早班").id, std::string("other"));
        s.end_read_batch();
        exec_beside(file, "UPDATE data SET id = 'again' WHERE nick = '早班'");
        QCOMPARE(s.load_plan_by_name("早班").id, std::string("again"));
    }

    void list_plans_survives_changes_made_between_rows() {
        QTemporaryDir dir;
        store::PlanStore s;
        QVERIFY(s.open(path_in(dir, "data.db")));
        for (const char* n : {"a", "b", "c"})
            QVERIFY(s.save_plan(saved_plan(n)));
        std::vector<std::string> seen;
        s.list_plans([&](const store::PlanRow& r) {
            seen.push_back(r.nick);
            if (seen.size() == 1) {
                // What a handler may do while the list is being filled.
                s.delete_plan("c");
                QCOMPARE(listed_names(s).size(), std::size_t(2));
                QVERIFY(s.save_plan(saved_plan("d")));
            }
        });
        QCOMPARE(seen, (std::vector<std::string>{"a", "b", "c"}));
        QCOMPARE(listed_names(s), (std::vector<std::string>{"a", "b", "d"}));
    }

    void counters() {
        QTemporaryDir dir;
        store::PlanStore s;
        QVERIFY(s.open(path_in(dir, "data.db")));
        const std::string today = "2025年1月5日", yesterday = "2025年1月4日";
        QCOMPARE(s.read_today_total(today), 0LL);
        s.count_one_success_today(today);
        QCOMPARE(s.read_today_total(today), 1LL);
        s.count_one_success_today(today);
        QCOMPARE(s.read_today_total(today), 2LL);
        QCOMPARE(s.read_today_total(yesterday), 0LL);

        Plan p = saved_plan("早班");
        QVERIFY(s.save_plan(p));
        QCOMPARE(s.set_today_plan_count("早班", yesterday), 1LL);
        for (int i = 2; i <= 7; ++i)
            QCOMPARE(s.set_today_plan_count("早班", yesterday), static_cast<long long>(i));
        // Yesterday's seven count for nothing today.
        QCOMPARE(s.set_today_plan_count("早班", today), 1LL);
        QCOMPARE(s.set_today_plan_count("早班", today), 2LL);
        p.today = "2";
        p.date1 = today;
        QCOMPARE(s.load_plan_by_name("早班"), p);
        // A plan deleted meanwhile: the count is still given, no row appears.
        QCOMPARE(s.set_today_plan_count("gone", today), 1LL);
        QVERIFY(s.load_plan_by_name("gone").empty());
    }

    void counts_in_storage_are_text() {
        QTemporaryDir dir;
        const fs::path file = path_in(dir, "data.db");
        {
            store::PlanStore s;
            QVERIFY(s.open(file));
            s.count_one_success_today("2025年1月5日");
            s.count_one_success_today("2025年1月5日");
        }
        store::Database db;
        QVERIFY(db.open(file));
        store::Statement q(db, "SELECT typeof(num), num, count(*) FROM num");
        std::string row;
        QVERIFY(q.run({}, [&](const store::Statement& st) { row = st.text(0) + "|" + st.text(1) + "|" + st.text(2); }));
        QCOMPARE(row, std::string("text|2|1"));
    }

    // --- settings file -------------------------------------------------------------------

    void settings_on_disk_are_gbk_with_crlf() {
        QTemporaryDir dir;
        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        QCOMPARE(ini.read("界面", "编辑框时1"), std::string());
        QVERIFY(ini.write("界面", "编辑框时1", "7"));
        QVERIFY(ini.write("界面", "编辑框分1", ""));
        QVERIFY(ini.write("搜房网", "user", "张三"));
        QCOMPARE(read_file(ini.path()),
                 common::to_gbk("[界面]\r\n编辑框时1=7\r\n编辑框分1=\r\n\r\n[搜房网]\r\nuser=张三\r\n"));
        QVERIFY(read_file(ini.path()).starts_with("[\xBD\xE7\xC3\xE6]"));
        QCOMPARE(ini.read("界面", "编辑框时1"), std::string("7"));
        QCOMPARE(ini.read("界面", "编辑框分1"), std::string());
        QCOMPARE(ini.read("搜房网", "user"), std::string("张三"));
        QCOMPARE(ini.read("搜房网", "pass"), std::string());
        QCOMPARE(ini.read("其他", "user"), std::string());
    }

    void settings_write_keeps_other_lines_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        const QByteArray odd = QByteArray::fromStdString(common::to_gbk(
            "; 注释\n[界面]\n 编辑框时1 = 5 \r\n编辑框分1=30\n\n[搜房网]\nuser=u\npass=p"));
        QTest::newRow("replace a key")
            << odd << "界面" << "编辑框时1"
            << QByteArray::fromStdString(common::to_gbk(
                   "; 注释\n[界面]\n编辑框时1=V\r\n编辑框分1=30\n\n[搜房网]\nuser=u\npass=p"));
        QTest::newRow("new key after the section's last line")
            << odd << "界面" << "编辑框个数"
            << QByteArray::fromStdString(common::to_gbk(
                   "; 注释\n[界面]\n 编辑框时1 = 5 \r\n编辑框分1=30\n编辑框个数=V\r\n\n[搜房网]\nuser=u\npass=p"));
        QTest::newRow("new key at an end without line break")
            << odd << "搜房网" << "portal"
            << QByteArray::fromStdString(common::to_gbk(
                   "; 注释\n[界面]\n 编辑框时1 = 5 \r\n编辑框分1=30\n\n[搜房网]\nuser=u\npass=p\r\nportal=V\r\n"));
        QTest::newRow("new section") << QByteArray("k=v") << "界面" << "a"
                                     << QByteArray::fromStdString(common::to_gbk("k=v\r\n\r\n[界面]\r\na=V\r\n"));
        QTest::newRow("names ignore letter case")
            << QByteArray("[Site]\r\nUser=old\r\nuser=second\r\n") << "SITE" << "user"
            << QByteArray("[Site]\r\nuser=V\r\nuser=second\r\n");
    }
    void settings_write_keeps_other_lines() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        write_file(ini.path(), before.toStdString());
        QVERIFY(ini.write(section.toStdString(), key.toStdString(), "V"));
        QCOMPARE(QByteArray::fromStdString(read_file(ini.path())), after);
    }

    void settings_read_odd_content_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const auto gbk = [](const char* s) { return QByteArray::fromStdString(common::to_gbk(s)); };
        QTest::newRow("no section") << QByteArray("user=x\n") << "搜房网" << "user" << "";
        QTest::newRow("keys before the first section") << gbk("user=x\n[搜房网]\npass=p") << "搜房网" << "user" << "";
        QTest::newRow("blank lines and spaces") << gbk("\n\n  [界面]  \n\n\t编辑框时1 \t=  8 \n") << "界面" << "编辑框时1" << "8";
        QTest::newRow("first key wins") << gbk("[界面]\n编辑框时1=1\n编辑框时1=2") << "界面" << "编辑框时1" << "1";
        QTest::newRow("first section wins") << gbk("[a]\nx=1\n[a]\ny=2") << "A" << "y" << "";
        QTest::newRow("key without equals") << gbk("[a]\nuser\nuser=2") << "a" << "user" << "";
        QTest::newRow("header without bracket") << gbk("[a]\n[b\nk=1") << "a" << "k" << "1";
        QTest::newRow("quotes come off") << gbk("[a]\nk=\" 1 \"\nj='x'\ni=\"y'") << "a" << "k" << " 1 ";
        QTest::newRow("single quotes come off") << gbk("[a]\nj='x'") << "a" << "j" << "x";
        QTest::newRow("unmatched quote stays") << gbk("[a]\ni=\"y'") << "a" << "i" << "\"y'";
        QTest::newRow("utf-8 byte-order mark") << QByteArray("\xEF\xBB\xBF[界面]\r\nk=值\r\n") << "界面" << "k" << "值";
        QTest::newRow("binary garbage") << QByteArray("\xFF\x00\x81[\x80]\n[a]\nk=\x81\x00z\n\xFE", 18) << "a" << "k"
                                        << "\uFFFD";
        QTest::newRow("cr line ends") << QByteArray("[a]\rk=1\r") << "a" << "k" << "1";
        QTest::newRow("full-width letters ignore case") << gbk("[ＡＢ]\nk=1") << "ａｂ" << "K" << "1";
    }
    void settings_read_odd_content() {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QTemporaryDir dir;
        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        write_file(ini.path(), content.toStdString());
        QCOMPARE(QString::fromStdString(ini.read(section.toStdString(), key.toStdString())), value);
    }

    void settings_values_are_cut_to_the_buffer() {
        QTemporaryDir dir;
        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        const std::string ascii(10239, 'x');
        write_file(ini.path(), "[a]\nfits=" + ascii + "\nlong=" + ascii + "yz\n");
        QCOMPARE(ini.read("a", "fits"), ascii);
        QCOMPARE(ini.read("a", "long"), ascii);
        // 5120 double-byte characters are 10240 bytes: the last one does not fit whole.
        std::string wide;
        for (int i = 0; i < 5120; ++i)
            wide += "界";
        QVERIFY(ini.write("a", "wide", wide));
        QCOMPARE(ini.read("a", "wide"), wide.substr(0, wide.size() - 3));
    }

    void settings_values_round_trip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("blanks at the ends") << "  pass word  ";
        QTest::newRow("enclosing quotes") << "\"secret\"";
        QTest::newRow("enclosing single quotes") << "'x'";
        QTest::newRow("only blanks") << "   ";
        QTest::newRow("equals and brackets") << "[a]=b;c";
        QTest::newRow("chinese") << "张三丰";
    }
    void settings_values_round_trip() {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        QVERIFY(ini.write("搜房网", "pass", value.toStdString()));
        QVERIFY(ini.write("搜房网", "user", "u"));
        QCOMPARE(QString::fromStdString(ini.read("搜房网", "pass")), value);
        QVERIFY(ini.write("搜房网", "pass", value.toStdString()));
        QCOMPARE(QString::fromStdString(ini.read("搜房网", "pass")), value);
    }

    void settings_can_hold_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("held");
        QTest::newRow("plain") << "pw9" << true;
        QTest::newRow("blanks and quotes") << " \"a\" " << true;
        QTest::newRow("chinese") << "密码" << true;
        QTest::newRow("a character GBK lacks") << "pw\U0001F600" << false;
        QTest::newRow("line break") << "a\nb" << false;
        QTest::newRow("NUL byte") << QString::fromUtf8("a\0b", 3) << false;
        QTest::newRow("as long as a value is read") << QString(10239, QLatin1Char('x')) << true;
        QTest::newRow("longer than a value is read") << QString(10240, QLatin1Char('x')) << false;
    }
    void settings_can_hold() {
        QFETCH(QString, value);
        QFETCH(bool, held);
        const std::string text = value.toStdString();
        QCOMPARE(store::SettingsFile::can_hold(text), held);
        // Whatever it says, it says of what a write and a read give back.
        QTemporaryDir dir;
        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        QCOMPARE(ini.write("搜房网", "pass", text) && ini.read("搜房网", "pass") == text, held);
    }

    void settings_write_failures() {
        QTemporaryDir dir;
        QVERIFY(!store::SettingsFile(path_in(dir, "missing/pz.ini")).write("界面", "k", "v"));
        QVERIFY(!fs::exists(path_in(dir, "missing")));

        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        const std::string old = common::to_gbk("[界面]\r\nk=old\r\n");
        write_file(ini.path(), old);
        fs::permissions(ini.path(), fs::perms::owner_read | fs::perms::group_read);
        QVERIFY(!ini.write("界面", "k", "new"));
        QCOMPARE(ini.read("界面", "k"), std::string("old"));
        fs::permissions(ini.path(), fs::perms::owner_read | fs::perms::owner_write);

        // A line break would smuggle a line of its own into the file.
        QVERIFY(!ini.write("界面", "k", "x\r\nuser=evil"));
        QVERIFY(!ini.write("界面", "k=j", "x"));
        QVERIFY(!ini.write("界", "", "x"));
        QCOMPARE(read_file(ini.path()), old);

        QVERIFY(ini.write("界面", "k", "new"));
        // The file keeps its permission bits; no temporary file is left behind.
        QCOMPARE(fs::status(ini.path()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
        QCOMPARE(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator()), 1L);

        const fs::path folder = path_in(dir, "folder.ini");
        fs::create_directory(folder);
        QVERIFY(!store::SettingsFile(folder).write("a", "k", "v"));
        QCOMPARE(store::SettingsFile(folder).read("a", "k"), std::string());
    }

    void settings_bom_file_stays_utf8() {
        QTemporaryDir dir;
        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        write_file(ini.path(), "\xEF\xBB\xBF[界面]\r\n");
        QVERIFY(ini.write("界面", "编辑框时1", "时"));
        QCOMPARE(read_file(ini.path()), std::string("\xEF\xBB\xBF[界面]\r\n编辑框时1=时\r\n"));
    }

    void settings_two_threads_write_different_keys() {
        QTemporaryDir dir;
        const store::SettingsFile ini(path_in(dir, "pz.ini"));
        constexpr int kWrites = 200;
        const auto writer = [&](const char* section, const char* key) {
            for (int i = 1; i <= kWrites; ++i) {
                ini.write(section, key, std::to_string(i));
                ini.read(section, key);
            }
        };
        std::thread ui(writer, "界面", "编辑框时1");
        std::thread autofill(writer, "搜房网", "user");
        ui.join();
        autofill.join();
        QCOMPARE(ini.read("界面", "编辑框时1"), std::to_string(kWrites));
        QCOMPARE(ini.read("搜房网", "user"), std::to_string(kWrites));
    }
};

QTEST_GUILESS_MAIN(StoreTests)
#include "store_tests.moc"
