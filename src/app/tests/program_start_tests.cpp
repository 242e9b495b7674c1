// The real executable started as a person starts it: with no display it says so and ends; a
// second start over the same data folder ends by itself; a killed one leaves the folder free.

#include "app/single_instance.h"
#include "common/paths.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <sys/stat.h>
#include <unistd.h>

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

// The real executable, over its own data folder, on the offscreen platform unless told otherwise.
class Program final {
public:
    explicit Program(const QString& home, const QStringList& unset = {}, const QStringList& set = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QICHENG_HOME"), home);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const QString& name : unset)
            environment.remove(name);
        for (const QString& assignment : set)
            environment.insert(assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));
        process_.setProcessEnvironment(environment);
        process_.start(QStringLiteral(QICHENG_EXECUTABLE), {});
    }
    ~Program() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kPatience);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    QProcess& process() { return process_; }
    bool ended() { return process_.waitForFinished(kPatience); }
    QStringList error_lines() {
        return QString::fromUtf8(process_.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QProcess process_;
};

} // namespace

class ProgramStartTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void without_a_display_the_program_says_so_and_ends_data() {
        QTest::addColumn<QStringList>("unset");
        QTest::addColumn<QStringList>("set");
        const QStringList display_variables{u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s};
        QTest::newRow("no display named") << display_variables << QStringList{};
        // An X server that cannot be reached: Qt's own failure, which would abort.
        QTest::newRow("the X server refuses") << display_variables << QStringList{u"DISPLAY=qicheng-no-such-display"_s};
        QTest::newRow("the X platform asked for, no display")
            << QStringList{u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s} << QStringList{u"QT_QPA_PLATFORM=xcb"_s};
    }

    void without_a_display_the_program_says_so_and_ends() {
        QFETCH(QStringList, unset);
        QFETCH(QStringList, set);
        QTemporaryDir home;
        Program program(home.path(), unset, set);
        QVERIFY(program.ended());
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 1);
        const QStringList lines = program.error_lines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith(QStringLiteral("qicheng: 栖橙 needs a desktop session")), qPrintable(lines[0]));
        QVERIFY(!fs::exists(path_of(home) / "data")); // nothing made before it gave up
    }

    // The real program: a second start ends by itself; after the first is killed its lock is
    // taken over by the next start.
    void the_real_program_runs_once_per_folder_and_a_killed_one_leaves_it_free() {
        QTemporaryDir home;
        const fs::path data = path_of(home) / "data";
        const QString lock_file = QString::fromStdString(app::SingleInstance::lock_file_of(data).string());
        Program first(home.path());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock_file), kPatience);
        QCOMPARE(mode_of(data), 0700u);
        // This process finds the folder taken and is answered by the real program, once that
        // is up, however long a loaded machine makes it take.
        QCOMPARE(app::SingleInstance(data).claim(std::chrono::milliseconds(kPatience)), Claim::second);

        Program second(home.path());
        QVERIFY(second.ended());
        QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process().exitCode(), 0);
        // Qt may add notes of its own about the environment; this is the program's one line.
        const QStringList lines = second.error_lines().filter(QRegularExpression(u"^qicheng: "_s));
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].startsWith(u"qicheng: already running over "_s + QString::fromStdString(data.string())));
        if (::geteuid() == 0) {
            // The first one, which goes on to start the browser, says why it runs without a sandbox.
            QString said;
            QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromUtf8(first.process().readAllStandardError()))
                                         .contains(u"qicheng: running as root, so the embedded browser runs without its sandbox (--no-sandbox)"_s),
                                     kPatience);
        }
        QCOMPARE(first.process().state(), QProcess::Running);

        first.process().kill();
        QVERIFY(first.ended());
        QVERIFY(QFile::exists(lock_file)); // left behind, as by a crash
        app::SingleInstance next(data);
        QCOMPARE(next.claim(), Claim::first);
        QFile lock(lock_file);
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readLine().trimmed().toLongLong(), static_cast<long long>(QCoreApplication::applicationPid()));
    }
};

QTEST_MAIN(ProgramStartTests)
#include "program_start_tests.moc"
