#include "uikit/message_box.h"

#include <QMessageBox>

#include <utility>

namespace uikit {
namespace {

MessageBoxSink* g_sink = nullptr;

const QString kCaption = QStringLiteral("信息：");

} // namespace

MessageBoxSink* set_message_box_sink(MessageBoxSink* sink) { return std::exchange(g_sink, sink); }

void show_message(QWidget* parent, const QString& text) {
    if (g_sink) {
        g_sink->take(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kCaption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool ask_yes_no(QWidget* parent, const QString& text) {
    if (g_sink)
        return g_sink->take(text);
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

} // namespace uikit
