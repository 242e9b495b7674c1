// The program qicheng: opens the plan database in the data folder and shows the main window;
// it ends when the main window is closed.

#include "common/clock.h"
#include "common/paths.h"
#include "engine/refresher.h"
#include "mainwin/main_window.h"
#include "store/plan_store.h"

#include <QApplication>
#include <QFont>

namespace {

// TODO: replace by site::ListingRefresher (the site's refresh request over the libcurl runner)
// once the site library is wired in; until then every refresh reports an empty outcome.
class NoRefresher final : public engine::Refresher {
public:
    std::string refresh_listing(const std::string&) override { return {}; }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));

    common::SystemClock clock;
    // A folder that cannot be made shows up as the database failing to open.
    common::ensure_data_dir();
    store::PlanStore store;
    NoRefresher refresher;

    mainwin::MainWindow window({
        .clock = clock,
        .store = store,
        .database_file = common::data_dir() / "data.db",
        .refresher = refresher,
    });
    if (!window.database_open())
        return 1;
    window.show();
    return QApplication::exec();
}
