#include "app/browser_loader.h"

#include "uikit/message_box.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace app {
namespace {

const QString kModuleFile = QStringLiteral("libqicheng_browser.so");

#ifndef QICHENG_BROWSER_MODULE
#define QICHENG_BROWSER_MODULE ""
#endif

// Beside the executable (the build tree, a portable copy), else in the private library folder
// of an installed program, else where the build put it (tests and benchmarks, whose programs
// sit elsewhere in the build tree).
QString module_path() {
    const QDir beside(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {beside.filePath(kModuleFile), beside.filePath(QStringLiteral("../lib/qicheng/") + kModuleFile),
                                     QString::fromUtf8(QICHENG_BROWSER_MODULE)})
        if (!candidate.isEmpty() && QFileInfo::exists(candidate))
            return QDir::cleanPath(candidate);
    return beside.filePath(kModuleFile);
}

// Qt WebEngine warns that it should have been loaded before the application started, and that
// the shared OpenGL context should have been asked for then. Loading it later is the point;
// its own set-up still gives its views that context.
QtMessageHandler previous_handler = nullptr;

void drop_late_loading_warnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin")) ||
        message.startsWith(QLatin1String("Attribute Qt::AA_ShareOpenGLContexts must be set before")))
        return;
    if (previous_handler)
        previous_handler(type, context, message);
}

} // namespace

BrowserLoader::~BrowserLoader() = default;

sitelogin::Browser* BrowserLoader::browser(QWidget* parent) {
    if (browser_)
        return browser_.get();
    module_.setFileName(module_path());
    previous_handler = qInstallMessageHandler(drop_late_loading_warnings);
    const auto make = reinterpret_cast<sitelogin::MakeBrowser>(module_.resolve(sitelogin::kMakeBrowser));
    if (make)
        browser_.reset(make(deps_));
    qInstallMessageHandler(previous_handler);
    if (!browser_)
        uikit::show_message(parent, QStringLiteral("内置浏览器无法启动：") + module_.errorString());
    return browser_.get();
}

} // namespace app
