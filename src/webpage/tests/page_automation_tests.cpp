#include "webpage/page_automation.h"
#include "webpage/page_script.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

using namespace webpage;

namespace {

const char* const kLoginPage = R"(<html><head><title>搜房帮登录</title></head><body>
<form><input type="text" name="user" value="u0"><input type="hidden" id="log" value="">
<input type="password" name="pass"><input type="submit" value="登录"></form>
<script>
  const log = document.getElementById('log');
  const user = document.getElementsByName('user')[0];
  user.addEventListener('input', () => { log.value += 'input,'; });
  document.addEventListener('change', () => { log.value += 'change,'; });
</script></body></html>)";

const char* const kListingPage = R"(<html><head><title>房源</title></head><body><table>
<tr><td><input type="checkbox" name="selectitem" value="101" title="第一" id="c1" checked></td></tr>
<tr><td><input type="checkbox" name="selectitem" value="102"></td></tr>
<tr><td><input type="text" name="q"><input type="checkbox" name="other" value="x" checked></td></tr>
<tr><td><input type="checkbox" name="selectitem" value="103" checked></td></tr>
</table></body></html>)";

} // namespace

class PageAutomationTests : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QWidget> holder_;
    QWebEngineView* view_ = nullptr;

    void load(const char* html) {
        QSignalSpy loaded(view_, &QWebEngineView::loadFinished);
        view_->setHtml(QString::fromUtf8(html));
        QVERIFY(loaded.wait(10000));
        QVERIFY(loaded.front().front().toBool());
    }

    QString page_eval(const QString& script) {
        return QString::fromStdString(run_page_script(view_->page(), script, std::chrono::seconds(5)).value_or("?"));
    }

private Q_SLOTS:
    void initTestCase() {
        holder_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(holder_.get());
        auto* inner = new QWidget(holder_.get());
        layout->addWidget(inner);
        view_ = new QWebEngineView(inner);
        holder_->resize(800, 600);
        holder_->show();
    }
    void cleanupTestCase() { holder_.reset(); }

    void finds_the_browser_inside_a_window() {
        QCOMPARE(PageAutomation::find_server_window(holder_.get()), view_);
        QWidget plain;
        QCOMPARE(PageAutomation::find_server_window(&plain), nullptr);
        QCOMPARE(PageAutomation::find_server_window(nullptr), nullptr);
    }

    void reads_the_login_page() {
        load(kLoginPage);
        PageAutomation automation;
        QVERIFY(automation.attach(holder_.get()));
        QCOMPARE(automation.page_title(), std::string("搜房帮登录"));
        QCOMPARE(automation.text_box_value("1"), std::string("u0"));
        QCOMPARE(automation.find_text_box("2")->name, std::string("pass"));
        QVERIFY(!automation.find_text_box("3"));
        QVERIFY(automation.document().snapshot()->has_body());
    }

    void writes_a_text_box_as_typing_would() {
        load(kLoginPage);
        PageAutomation automation;
        QVERIFY(automation.attach(view_));
        const std::string awkward = "张三 \"O'Brien\" </script><b>";
        QVERIFY(automation.set_text_box_value("1", awkward));
        QCOMPARE(automation.text_box_value("1"), awkward);
        // The page drops line breaks from one-line boxes; the snapshot keeps what the page holds.
        QVERIFY(automation.set_text_box_value("2", "pa\nss"));
        QCOMPARE(automation.text_box_value("2"), std::string("pass"));
        QVERIFY(!automation.set_text_box_value("3", "none"));

        QCOMPARE(page_eval(QStringLiteral("document.getElementsByName('user')[0].value")), QString::fromStdString(awkward));
        QCOMPARE(page_eval(QStringLiteral("document.getElementById('log').value")),
                 QStringLiteral("input,change,change,"));
        PageAutomation again;
        QVERIFY(again.attach(view_));
        QCOMPARE(again.text_box_value("2"), std::string("pass"));
    }

    void does_not_write_into_a_page_it_did_not_read() {
        load(kLoginPage);
        PageAutomation automation;
        QVERIFY(automation.attach(view_));
        load(kLoginPage);
        QVERIFY(!automation.set_text_box_value("1", "stale"));
        QCOMPARE(page_eval(QStringLiteral("document.getElementsByName('user')[0].value")), QStringLiteral("u0"));
    }

    void reads_check_boxes() {
        load(kListingPage);
        PageAutomation automation;
        QVERIFY(automation.attach(view_));
        QCOMPARE(automation.count_check_boxes(false), 4);
        QCOMPARE(automation.count_inputs(kTextBoxTypes, "文本框", false), 1);
        QVERIFY(automation.is_check_box_ticked("1"));
        QVERIFY(!automation.is_check_box_ticked("2"));
        QVERIFY(automation.is_check_box_ticked("3"));
        QVERIFY(!automation.is_check_box_ticked("5"));

        std::string title, name, id, type;
        std::optional<InputElement> element;
        QVERIFY(automation.check_box_info(1, &title, &name, &id, &type, element));
        QCOMPARE(title, std::string("第一"));
        QCOMPARE(name, std::string("selectitem"));
        QCOMPARE(id, std::string("c1"));
        QCOMPARE(type, std::string("checkbox"));
        QCOMPARE(element->value, std::string("101"));

        QVERIFY(!automation.check_box_info(5, &title, &name, &id, &type, element));
        QVERIFY(!element);
        QVERIFY(title.empty() && name.empty() && id.empty() && type.empty());
    }

    void marks_the_counted_check_boxes() {
        load(kListingPage);
        PageAutomation automation;
        QVERIFY(automation.attach(view_));
        QCOMPARE(automation.count_check_boxes(true), 4);
        QVERIFY(page_eval(QStringLiteral("document.body.innerText")).contains(QStringLiteral("[复4]")));
        // The marked boxes replaced the old ones; the held document follows them.
        QCOMPARE(automation.count_check_boxes(false), 4);
        QVERIFY(automation.is_check_box_ticked("4"));
        QVERIFY(automation.set_text_box_value("1", "after marking"));
        QCOMPARE(page_eval(QStringLiteral("document.getElementsByName('q')[0].value")), QStringLiteral("after marking"));
    }

    void sees_no_inputs_in_frames_or_without_body() {
        load(R"(<html><head><title>框架</title></head><body>
<iframe srcdoc="<input type=text name=inner><input type=checkbox checked>"></iframe></body></html>)");
        PageAutomation automation;
        QVERIFY(automation.attach(view_));
        QCOMPARE(automation.count_check_boxes(false), 0);
        QVERIFY(!automation.find_text_box("1"));

        load(R"(<html><head><title>无正文</title></head><body><input type="text" value="gone">
<script>document.documentElement.removeChild(document.body);</script></body></html>)");
        QVERIFY(automation.attach(view_));
        QCOMPARE(automation.page_title(), std::string("无正文"));
        QVERIFY(!automation.document().snapshot()->has_body());
        QCOMPARE(automation.count_inputs(kTextBoxTypes, "文本框", true), 0);
        QVERIFY(automation.text_box_value("1").empty());
    }

    void attach_fails_without_a_browser() {
        load(kLoginPage);
        PageAutomation automation;
        QVERIFY(automation.attach(view_));

        // A null window changes nothing.
        QVERIFY(!automation.attach(nullptr));
        QCOMPARE(automation.page_title(), std::string("搜房帮登录"));

        QPointer<QWidget> destroyed = new QWidget;
        delete destroyed.data();
        QVERIFY(!automation.attach(destroyed));
        QCOMPARE(automation.page_title(), std::string("搜房帮登录"));

        QWidget plain;
        QVERIFY(!automation.attach(&plain));
        QVERIFY(automation.document().empty());
        QVERIFY(automation.page_title().empty());
        int position = 0;
        QVERIFY(!automation.find_input(kTextBoxTypes, "1", 0, position));
        QCOMPARE(position, -1);
        QCOMPARE(automation.count_check_boxes(true), 0);
        QVERIFY(!automation.set_text_box_value("1", "x"));
        QVERIFY(!automation.is_check_box_ticked("1"));
    }

    void gives_up_on_a_page_that_does_not_answer() {
        // The page's script is busy for 4 s; its title says when the busy spell begins and ends.
        load(R"(<html><head><title>载入</title></head><body><input type="text">
<script>setTimeout(() => {
  document.title = '忙';
  const end = Date.now() + 4000; while (Date.now() < end) {}
  document.title = '闲';
}, 0);</script></body></html>)");
        QTRY_COMPARE_WITH_TIMEOUT(view_->title(), QStringLiteral("忙"), 10'000);
        QSignalSpy titles(view_, &QWebEngineView::titleChanged);
        PageAutomation automation;
        QVERIFY(!automation.attach(view_));
        QVERIFY(automation.document().empty());
        // It gave up while the page was still busy rather than waiting for the page.
        QVERIFY(titles.isEmpty());
        // The late answer arrives after the attach gave up, harmlessly; then the page answers.
        QTRY_COMPARE_WITH_TIMEOUT(view_->title(), QStringLiteral("闲"), 20'000);
        QVERIFY(automation.attach(view_));
        QCOMPARE(automation.page_title(), std::string("闲"));
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    PageAutomationTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "page_automation_tests.moc"
