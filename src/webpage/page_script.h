#pragma once
// One script run in a page, in the application's own script world, waited for with the event
// loop running.

#include <QString>

#include <chrono>
#include <optional>
#include <string>

class QWebEnginePage;

namespace webpage {

// The script's result when it is text (UTF-8); nullopt when there is no page, the result is
// not text, or no answer came within `limit`. A late answer lands harmlessly.
std::optional<std::string> run_page_script(QWebEnginePage* page, const QString& script,
                                           std::chrono::milliseconds limit);

} // namespace webpage
