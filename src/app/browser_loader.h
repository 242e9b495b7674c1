#pragma once
// Loads the embedded browser's module (see sitelogin/browser.h) when the browser is first
// wanted, and keeps it for the rest of the run.

#include "sitelogin/browser.h"

#include <QLibrary>

#include <memory>

namespace app {

class BrowserLoader final {
public:
    explicit BrowserLoader(sitelogin::BrowserDeps deps) : deps_(std::move(deps)) {}
    ~BrowserLoader();
    BrowserLoader(const BrowserLoader&) = delete;
    BrowserLoader& operator=(const BrowserLoader&) = delete;

    // The browser's side, loaded and made at the first call. Null when the module cannot be
    // loaded; `parent` has then been told why.
    sitelogin::Browser* browser(QWidget* parent);
    bool started() const { return browser_ != nullptr; }

private:
    const sitelogin::BrowserDeps deps_;
    // Never unloaded: the browser's engine keeps threads of its own until the process ends.
    QLibrary module_;
    std::unique_ptr<sitelogin::Browser> browser_;
};

} // namespace app
