// Start-up of the program: which data folder it uses, its command line, the display and root
// rules, and one program per data folder between two starts in this process.

#include "app/single_instance.h"
#include "app/start_up.h"
#include "common/paths.h"
#include "mainwin/lock_window.h"
#include "testsupport/message_box_recorder.h"

#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <fstream>
#include <memory>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using Claim = app::SingleInstance::Claim;
using namespace Qt::StringLiterals;

constexpr int kPatience = 30'000; // only reached when something is wrong; the machine may be loaded

fs::path path_of(const QTemporaryDir& dir) { return dir.path().toStdString(); }

unsigned mode_of(const fs::path& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Another start over `data`, on a thread of its own as a second process would be, so that this
// thread's event loop can answer it.
Claim claim_elsewhere(const fs::path& data) {
    Claim claim = Claim::unanswered;
    const std::unique_ptr<QThread> thread(QThread::create([&] { claim = app::SingleInstance(data).claim(); }));
    thread->start();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), kPatience); }();
    thread->wait();
    return claim;
}

} // namespace

class StartUpTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void data_folder_rule_data() {
        QTest::addColumn<QString>("qicheng_home");
        QTest::addColumn<QString>("executable_dir"); // under the test's folder
        QTest::addColumn<QString>("xdg_data_home");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("expected"); // "@" stands for the test's folder

        QTest::newRow("QICHENG_HOME wins over data/ beside the program")
            << "@/mine" << "portable" << "@/xdg" << "@/home" << "@/mine/data";
        QTest::newRow("data/ beside the program") << "" << "portable" << "@/xdg" << "@/home" << "@/portable/bin/data";
        QTest::newRow("installed: the user's XDG_DATA_HOME") << "" << "installed" << "@/xdg" << "@/home"
                                                             << "@/xdg/qicheng/data";
        QTest::newRow("no XDG_DATA_HOME: ~/.local/share") << "" << "installed" << "" << "@/home"
                                                         << "@/home/.local/share/qicheng/data";
        QTest::newRow("a relative XDG_DATA_HOME is ignored") << "" << "installed" << "xdg" << "@/home"
                                                            << "@/home/.local/share/qicheng/data";
        QTest::newRow("a file named data beside the program is not a folder")
            << "" << "file-beside" << "@/xdg" << "@/home" << "@/xdg/qicheng/data";
        QTest::newRow("the executable's folder unknown") << "" << "" << "@/xdg" << "@/home" << "@/xdg/qicheng/data";
    }

    void data_folder_rule() {
        QFETCH(QString, qicheng_home);
        QFETCH(QString, executable_dir);
        QFETCH(QString, xdg_data_home);
        QFETCH(QString, home);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const fs::path root = path_of(dir);
        fs::create_directories(root / "portable/bin/data");
        fs::create_directories(root / "installed/bin");
        fs::create_directories(root / "file-beside/bin");
        std::ofstream(root / "file-beside/bin/data") << "not a folder";
        const auto expand = [&](QString text) { return text.replace(QLatin1Char('@'), dir.path()).toStdString(); };

        const common::DataDirSources sources{expand(qicheng_home),
                                             executable_dir.isEmpty() ? fs::path() : root / executable_dir.toStdString() / "bin",
                                             expand(xdg_data_home), expand(home)};
        QCOMPARE(QString::fromStdString(common::data_dir_for(sources).string()), QString::fromStdString(expand(expected)));
    }

    void a_relative_qicheng_home_is_made_absolute() {
        const fs::path data = common::data_dir_for({"rel", {}, {}, "/h"});
        QVERIFY(data.is_absolute());
        QCOMPARE(data, fs::current_path() / "rel" / "data");
    }

    void the_data_folder_is_made_private_and_an_existing_one_is_left_alone() {
        QTemporaryDir dir;
        const fs::path root = path_of(dir);
        const fs::path data = root / "share/qicheng/data";
        QVERIFY(common::ensure_private_dir(data));
        for (const fs::path& level : {root / "share", root / "share/qicheng", data})
            QCOMPARE(mode_of(level), 0700u);

        fs::create_directories(root / "open");
        fs::permissions(root / "open", fs::perms(0755));
        QVERIFY(common::ensure_private_dir(root / "open"));
        QCOMPARE(mode_of(root / "open"), 0755u);

        std::ofstream(root / "a-file") << "x";
        QVERIFY(!common::ensure_private_dir(root / "a-file/data"));
    }

    void command_line_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("refused");
        const auto action = [](app::StartAction a) { return static_cast<int>(a); };
        QTest::newRow("none") << QStringList{} << action(app::StartAction::run) << "";
        QTest::newRow("--help") << QStringList{u"--help"_s} << action(app::StartAction::help) << "";
        QTest::newRow("-h") << QStringList{u"-h"_s} << action(app::StartAction::help) << "";
        QTest::newRow("--version") << QStringList{u"--version"_s} << action(app::StartAction::version) << "";
        QTest::newRow("-v") << QStringList{u"-v"_s} << action(app::StartAction::version) << "";
        QTest::newRow("unknown option") << QStringList{u"--portable"_s} << action(app::StartAction::refuse) << "--portable";
        QTest::newRow("a file name") << QStringList{u"plans.db"_s} << action(app::StartAction::refuse) << "plans.db";
        QTest::newRow("Qt's own options are not ours") << QStringList{u"-platform"_s, u"offscreen"_s}
                                                       << action(app::StartAction::refuse) << "-platform";
    }

    void command_line() {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, refused);
        std::vector<std::string> words{"qicheng"};
        for (const QString& argument : arguments)
            words.push_back(argument.toStdString());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        const app::CommandLine line = app::read_command_line(static_cast<int>(argv.size()), argv.data());
        QCOMPARE(static_cast<int>(line.action), action);
        QCOMPARE(QString::fromStdString(line.refused), refused);
    }

    void display_data() {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<bool>("named");
        QTest::newRow("nothing") << "" << "" << "" << false;
        QTest::newRow("X11") << "" << ":0" << "" << true;
        QTest::newRow("Wayland") << "" << "" << "wayland-0" << true;
        QTest::newRow("a platform chosen by name") << "offscreen" << "" << "" << true;
    }

    void display() {
        QFETCH(QString, platform);
        QFETCH(QString, display);
        QFETCH(QString, wayland);
        QFETCH(bool, named);
        QCOMPARE(app::display_named({platform.toStdString(), display.toStdString(), wayland.toStdString()}), named);
    }

    void browser_flags_as_root_data() {
        QTest::addColumn<uint>("uid");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a user, no flags") << 1000u << "" << "";
        QTest::newRow("a user keeps the sandbox") << 1000u << "--disable-gpu" << "--disable-gpu";
        QTest::newRow("root, no flags") << 0u << "" << "--no-sandbox";
        QTest::newRow("root keeps the flags given") << 0u << "--disable-gpu --lang=zh-CN"
                                                    << "--disable-gpu --lang=zh-CN --no-sandbox";
        QTest::newRow("root, already without sandbox") << 0u << "--disable-gpu  --no-sandbox"
                                                       << "--disable-gpu  --no-sandbox";
        QTest::newRow("a longer flag is another flag") << 0u << "--no-sandbox-x" << "--no-sandbox-x --no-sandbox";
    }

    void browser_flags_as_root() {
        QFETCH(uint, uid);
        QFETCH(QString, flags);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(app::browser_flags_for(uid, flags.toStdString())), expected);
    }

    void root_adds_the_flag_to_the_environment() {
        const QByteArray saved = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
        app::allow_browser_as(1000);
        QCOMPARE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray("--disable-gpu"));
        app::allow_browser_as(0);
        QCOMPARE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray("--disable-gpu --no-sandbox"));
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", saved);
    }

    void a_second_start_over_the_folder_asks_the_first_to_show_itself() {
        QTemporaryDir home;
        const fs::path data = path_of(home) / "data";
        QVERIFY(common::ensure_private_dir(data));
        app::SingleInstance first(data);
        int presented = 0;
        connect(&first, &app::SingleInstance::present_requested, this, [&] { ++presented; });
        QCOMPARE(first.claim(), Claim::first);

        QCOMPARE(claim_elsewhere(data), Claim::second);
        QCOMPARE(presented, 1);
        QCOMPARE(claim_elsewhere(data), Claim::second);
        QCOMPARE(presented, 2);

        // Another folder is another program's.
        QTemporaryDir other;
        QVERIFY(common::ensure_private_dir(path_of(other) / "data"));
        QCOMPARE(claim_elsewhere(path_of(other) / "data"), Claim::first);
        QCOMPARE(presented, 2);
    }

    void a_second_start_shows_the_lock_window_never_the_main_window() {
        testsupport::MessageBoxRecorder boxes;
        QTemporaryDir home;
        const fs::path data = path_of(home) / "data";
        QVERIFY(common::ensure_private_dir(data));
        QWidget main;
        mainwin::LockController lock(main, [] { return std::string("p"); });
        app::SingleInstance first(data);
        connect(&first, &app::SingleInstance::present_requested, this, [&] { lock.present(); });
        QCOMPARE(first.claim(), Claim::first);

        // Hidden by the hot key: shown again.
        main.show();
        lock.toggle_visibility();
        QVERIFY(!main.isVisible());
        QCOMPARE(claim_elsewhere(data), Claim::second);
        QVERIFY(main.isVisible());

        // Locked, and the lock window hidden by the hot key: the lock window comes back.
        lock.lock();
        lock.toggle_visibility();
        QVERIFY(!lock.lock_window()->isVisible());
        QCOMPARE(claim_elsewhere(data), Claim::second);
        QVERIFY(lock.lock_window()->isVisible());
        QVERIFY(!main.isVisible());
    }

    void a_stray_client_is_dropped_and_the_first_keeps_answering() {
        QTemporaryDir home;
        const fs::path data = path_of(home) / "data";
        QVERIFY(common::ensure_private_dir(data));
        app::SingleInstance first(data);
        int presented = 0;
        connect(&first, &app::SingleInstance::present_requested, this, [&] { ++presented; });
        QCOMPARE(first.claim(), Claim::first);

        QLocalSocket stray;
        stray.connectToServer(app::SingleInstance::server_name_of(data));
        QVERIFY(stray.waitForConnected(kPatience));
        stray.write(QByteArray(200, 'x'));
        QTRY_COMPARE_WITH_TIMEOUT(stray.state(), QLocalSocket::UnconnectedState, kPatience);
        QCOMPARE(presented, 0);

        QCOMPARE(claim_elsewhere(data), Claim::second);
        QCOMPARE(presented, 1);
    }
};

QTEST_MAIN(StartUpTests)
#include "start_up_tests.moc"
