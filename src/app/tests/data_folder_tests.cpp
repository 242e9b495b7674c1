// The program over a data folder it cannot use as it wants: a data file that is not a database,
// a folder it may not write, a settings file it may not write. A clear message where the
// database is concerned, a silent pass for settings, never a crash and never a lost file.

#include "app/program.h"
#include "common/clock.h"
#include "common/encoding.h"
#include "editor/plan_editor.h"
#include "mainwin/lock_window.h"
#include "store/plan_store.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "testsupport/ordinary_user_files.h"
#include "testsupport/clocks.h"
#include "testsupport/message_box_recorder.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

using testsupport::OrdinaryUserFiles;

std::string contents_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

constexpr auto kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
constexpr auto kReadOnlyFolder = kReadOnly | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;

const common::LocalTime kMoment{2024, 3, 5, 8, 5, 0, 0};

} // namespace

class DataFolderTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void an_unusable_database_is_reported_and_left_as_it_was() {
        QFETCH(QString, kind);
        QTemporaryDir home;
        const fs::path root = home.path().toStdString();
        const fs::path data = root / "data";
        fs::create_directories(data);
        const fs::path database = data / "data.db";
        const std::string garbage = "这不是数据库\n" + std::string(5000, 'x');
        if (kind == QLatin1String("not a database")) {
            write_file(database, garbage);
        } else if (kind == QLatin1String("a folder in its place")) {
            fs::create_directories(database / "inner");
        } else if (kind == QLatin1String("read-only database file")) {
            {
                store::PlanStore plans;
                QVERIFY(plans.open(database));
            }
            fs::permissions(database, kReadOnly);
        } else if (kind == QLatin1String("read-only data folder")) {
            fs::permissions(data, kReadOnlyFolder);
        }
        const std::string before = fs::is_regular_file(database) ? contents_of(database) : std::string();

        testsupport::MessageBoxRecorder boxes;
        testsupport::ManualClock clock(kMoment);
        {
            OrdinaryUserFiles ordinary(root);
            app::Program program(data, clock, nullptr, 1);
            QVERIFY(!program.ready());
        }
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("数据库连接失败")});
        if (fs::is_regular_file(database))
            QVERIFY(contents_of(database) == before);
        fs::permissions(data, fs::perms::owner_all);
    }
    void an_unusable_database_is_reported_and_left_as_it_was_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"not a database", "a folder in its place", "read-only database file", "read-only data folder"})
            QTest::newRow(kind) << QString::fromUtf8(kind);
    }

    // Typing into a remembered box writes the settings file at once; a file or folder that
    // refuses the write is passed over without a word, and the old file stays whole.
    void settings_that_cannot_be_written_pass_silently() {
        QFETCH(bool, folder_read_only);
        QTemporaryDir home;
        const fs::path root = home.path().toStdString();
        const fs::path data = root / "data";
        fs::create_directories(data);
        const fs::path ini = data / "pz.ini";
        write_file(ini, common::to_gbk("[界面]\r\n编辑框时1=5\r\n"));
        const std::string before = contents_of(ini);
        fs::permissions(folder_read_only ? data : ini, folder_read_only ? kReadOnlyFolder : kReadOnly);

        testsupport::MessageBoxRecorder boxes;
        testsupport::ManualClock clock(kMoment);
        {
            OrdinaryUserFiles ordinary(root);
            store::PlanStore plans;
            const store::SettingsFile settings(ini);
            editor::PlanEditor editor(nullptr, plans, settings, {}, {});
            editor.show();
            auto* hour = editor.findChild<QLineEdit*>(QStringLiteral("编辑框时1"));
            QVERIFY(hour);
            QCOMPARE(hour->text(), QStringLiteral("5"));
            hour->clear();
            QTest::keyClicks(hour, QStringLiteral("7"));
            QCOMPARE(hour->text(), QStringLiteral("7"));
            QCOMPARE(settings.read(store::keys::kInterfaceSection, "编辑框时1"), std::string("5"));
            editor.hide();
        }
        QVERIFY(boxes.texts().isEmpty());
        QVERIFY(contents_of(ini) == before);
        fs::permissions(data, fs::perms::owner_all);
    }
    void settings_that_cannot_be_written_pass_silently_data() {
        QTest::addColumn<bool>("folder_read_only");
        QTest::newRow("read-only pz.ini") << false;
        QTest::newRow("read-only data folder") << true;
    }

    // The program starts over a read-only settings file and keeps reading it: the lock takes
    // the password the file holds, read when it is typed.
    void a_read_only_settings_file_does_not_stop_the_program() {
        QTemporaryDir home;
        const fs::path root = home.path().toStdString();
        const fs::path data = root / "data";
        fs::create_directories(data);
        write_file(data / "pz.ini", common::to_gbk("[搜房网]\r\nbackoffice=127.0.0.1:9\r\npass=锁屏密码\r\n"));
        fs::permissions(data / "pz.ini", kReadOnly);

        testsupport::MessageBoxRecorder boxes;
        testsupport::ManualClock clock(kMoment);
        OrdinaryUserFiles ordinary(root);
        app::Program program(data, clock, nullptr, 1);
        QVERIFY(program.ready());
        mainwin::MainWindow& window = program.window();
        window.show();
        window.lock_button()->click();
        QPointer<mainwin::LockWindow> lock = window.lock_controller().lock_window();
        QVERIFY(lock && lock->isVisible());
        QVERIFY(!window.isVisible());
        auto* typed = lock->findChild<QLineEdit*>(QStringLiteral("编辑框1"));
        auto* unlock = lock->findChild<QPushButton*>(QStringLiteral("按钮1"));
        QVERIFY(typed && unlock);
        typed->setText(QStringLiteral("锁屏密码"));
        unlock->click();
        QVERIFY(window.isVisible());
        QVERIFY(boxes.texts().isEmpty());
    }
};

QTEST_MAIN(DataFolderTests)
#include "data_folder_tests.moc"
