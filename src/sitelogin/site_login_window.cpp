#include "sitelogin/site_login_window.h"

#include "site/hosts.h"
#include "site/session.h"
#include "site/sign_in.h"
#include "sitelogin/browser_profile.h"
#include "sitelogin/credential_autofill.h"
#include "sitelogin/listing_extraction.h"
#include "uikit/message_box.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>

namespace sitelogin {
namespace {

// The client area the controls' places are given for.
constexpr QSize kClientSize{802, 534};
constexpr QPoint kWindowPlace{50, 50};
constexpr QRect kBarPlace{24, -6, 746, 49};
constexpr QRect kBrowserPlace{1, 48, 800, 470};
constexpr int kStatusBarHeight = 20;
constexpr int kStatusPartWidths[] = {50, 260};

// The bar is centred over a bar-wide stretch of this width.
constexpr int kBarCentringWidth = 750;
// How much narrower and lower than the window (its outer size) the browser is.
constexpr QSize kBrowserInset{10, 100};

struct BarButton {
    const char* name;
    const char* caption;
    QRect place; // inside the bar
};

constexpr BarButton kButtons[] = {
    {"按钮我已登录", "我已登录", {6, 10, 80, 32}},     {"按钮提取勾选", "提取勾选", {129, 10, 80, 32}},
    {"按钮保存提取到", "保存提取", {253, 10, 80, 32}}, {"按钮打开出售", "打开出售", {461, 11, 80, 32}},
    {"按钮打开出租", "打开出租", {560, 11, 80, 32}},   {"按钮取消提取", "取消", {660, 10, 80, 32}},
};

QString qtext(const std::string& text) { return QString::fromStdString(text); }

} // namespace

SiteLoginWindow::SiteLoginWindow(QWidget* parent, const SiteLoginDeps& deps) : QDialog(parent), deps_(deps) {
    setWindowTitle(QStringLiteral("登录提取"));
    create_controls();
    move(kWindowPlace);
    resize(kClientSize);
    autofill_ = new CredentialAutofill(browser_, deps_.settings, this);
    autofill_->start();
}

SiteLoginWindow::~SiteLoginWindow() { autofill_->stop(); }

void SiteLoginWindow::create_controls() {
    bar_ = new QGroupBox(this);
    bar_->setObjectName(QStringLiteral("分组框1"));
    bar_->setGeometry(kBarPlace);

    std::vector<QPushButton*> buttons;
    for (const BarButton& entry : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), bar_);
        button->setObjectName(QString::fromUtf8(entry.name));
        button->setGeometry(entry.place);
        button->setAutoDefault(false);
        buttons.push_back(button);
    }
    connect(buttons[0], &QPushButton::clicked, this, [this] { press(Wait::AgentId); });
    connect(buttons[1], &QPushButton::clicked, this, [this] { press(Wait::Extraction); });
    connect(buttons[2], &QPushButton::clicked, this, [this] { finish(Accepted); });
    connect(buttons[3], &QPushButton::clicked, this, [this] { open_page(deps_.hosts.sale_listing_page()); });
    connect(buttons[4], &QPushButton::clicked, this, [this] { open_page(deps_.hosts.rent_listing_page()); });
    connect(buttons[5], &QPushButton::clicked, this, &SiteLoginWindow::cancel);

    browser_ = new QWebEngineView(this);
    browser_->setObjectName(QStringLiteral("互联网浏览器1"));
    browser_->setPage(new QWebEnginePage(deps_.profile.profile(), browser_));
    browser_->setGeometry(kBrowserPlace);

    status_bar_ = new QStatusBar(this);
    status_bar_->setObjectName(QStringLiteral("状态条1"));
    status_bar_->setSizeGripEnabled(false);
    for (int part = 0; part < 2; ++part) {
        status_parts_[part] = new QLabel(status_bar_);
        status_parts_[part]->setFixedWidth(kStatusPartWidths[part]);
        status_bar_->addWidget(status_parts_[part]);
    }
    status_parts_[0]->setText(QStringLiteral("状态栏"));
    status_bar_->setGeometry(0, kClientSize.height() - kStatusBarHeight, kClientSize.width(), kStatusBarHeight);
}

QString SiteLoginWindow::status_text(int part) const {
    return (part == 0 || part == 1) ? status_parts_[part]->text() : QString();
}

bool SiteLoginWindow::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    // A shown window is activated at once where a window manager runs; without one (a bare X
    // server) it may never be, and the browser would stay empty. Showing counts as well.
    const bool first = event->type() == QEvent::WindowActivate || event->type() == QEvent::Show;
    if (first && !activated_) {
        activated_ = true;
        // Not inside the event itself: the check waits for the site with the loop running.
        QTimer::singleShot(0, this, [this] { press(Wait::FirstPage); });
    }
    // The first resize comes before a window manager has put its frame around the window; the
    // frame arrives with the move of the client area into it, and the outer size grows then.
    if (event->type() == QEvent::Move && frameGeometry().size() != laid_out_for_)
        lay_out();
    return handled;
}

void SiteLoginWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    lay_out();
}

void SiteLoginWindow::lay_out() {
    const QSize outer = frameGeometry().size();
    laid_out_for_ = outer;
    const int browser_width = outer.width() - kBrowserInset.width();
    browser_->setGeometry(browser_->x(), browser_->y(), browser_width, outer.height() - kBrowserInset.height());
    // Integer division cuts toward zero, also for a browser narrower than the bar.
    bar_->move((browser_width - kBarCentringWidth) / 2, bar_->y());
    // A status bar keeps to the bottom of its window by itself.
    status_bar_->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
}

void SiteLoginWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

void SiteLoginWindow::press(Wait wait) {
    if (finished_ || running_ == wait || std::ranges::find(waiting_, wait) != waiting_.end())
        return;
    waiting_.push_back(wait);
    // A press during another wait is taken up by the loop below once that wait has ended.
    if (running_)
        return;
    QPointer<SiteLoginWindow> alive(this);
    while (!waiting_.empty() && !finished_) {
        running_ = waiting_.front();
        waiting_.erase(waiting_.begin());
        run(*running_);
        if (!alive)
            return;
        running_.reset();
    }
}

void SiteLoginWindow::run(Wait wait) {
    switch (wait) {
    case Wait::FirstPage:
        return open_first_page();
    case Wait::AgentId:
        return confirm_signed_in();
    case Wait::Extraction:
        return pick_ticked();
    }
}

// The handlers below wait with the event loop running; the window may be finished, or gone,
// when they go on.
void SiteLoginWindow::open_first_page() {
    QPointer<SiteLoginWindow> alive(this);
    const std::string first = site::first_page(deps_.runner, deps_.hosts, deps_.session);
    if (alive && !finished_)
        open_page(first);
}

void SiteLoginWindow::confirm_signed_in() {
    QPointer<SiteLoginWindow> alive(this);
    const bool found = site::read_agent_id(deps_.runner, deps_.hosts, deps_.session);
    if (!alive || finished_)
        return;
    if (!found) {
        uikit::show_message(this, QStringLiteral("程序未检测到登录状态"));
        return;
    }
    uikit::show_message(this, QStringLiteral("登录状态 检测正常！"));
    if (alive)
        finish(Accepted);
}

void SiteLoginWindow::pick_ticked() {
    QPointer<SiteLoginWindow> alive(this);
    extract_ticked_listings(deps_.automation, browser_, picks_);
    if (!alive)
        return;
    // "取消" pressed while the page was being read empties the picks for good.
    if (cancelled_)
        picks_.clear();
    status_parts_[1]->setText(qtext(picked_count_text(picks_)));
}

void SiteLoginWindow::cancel() {
    cancelled_ = true;
    picks_.clear();
    finish(Rejected);
}

void SiteLoginWindow::open_page(const std::string& address) { browser_->load(QUrl(qtext(address))); }

void SiteLoginWindow::finish(int result) {
    finished_ = true;
    autofill_->stop();
    done(result);
}

std::string pick_listings(QWidget* parent, const SiteLoginDeps& deps, const std::string& start_address) {
    deps.session.set_start_address(start_address);
    SiteLoginWindow window(parent, deps);
    window.exec();
    return window.picked_ids();
}

void open_site_login(QWidget* parent, const SiteLoginDeps& deps) {
    pick_listings(parent, deps, deps.hosts.portal_home());
}

} // namespace sitelogin
