#include "webpage/page_script.h"

#include "common/wait.h"

#include <QWebEnginePage>
#include <QWebEngineScript>

#include <memory>

namespace webpage {
namespace {

// The answer of one script run; the callback holds it, so an answer that comes after the
// caller gave up lands here.
struct ScriptAnswer {
    std::shared_ptr<common::Completion> done = std::make_shared<common::Completion>();
    std::optional<std::string> text;
};

} // namespace

std::optional<std::string> run_page_script(QWebEnginePage* page, const QString& script,
                                           std::chrono::milliseconds limit) {
    if (!page)
        return std::nullopt;
    auto answer = std::make_shared<ScriptAnswer>();
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant& result) {
        if (result.typeId() == QMetaType::QString)
            answer->text = result.toString().toStdString();
        answer->done->signal();
    });
    if (common::wait_for(answer->done, limit) != common::WaitOutcome::Completed)
        return std::nullopt;
    return answer->text;
}

} // namespace webpage
