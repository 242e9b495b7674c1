#include "uikit/message_box.h"

#include <QMessageBox>

namespace uikit {
namespace {

MessageBoxRecorder* g_recorder = nullptr;

const QString kCaption = QStringLiteral("信息：");

} // namespace

MessageBoxRecorder::MessageBoxRecorder() : previous_(g_recorder) { g_recorder = this; }

MessageBoxRecorder::~MessageBoxRecorder() { g_recorder = previous_; }

bool MessageBoxRecorder::record(const QString& text) {
    texts_.append(text);
    if (hook_)
        hook_(text);
    return answer_;
}

void show_message(QWidget* parent, const QString& text) {
    if (g_recorder) {
        g_recorder->record(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kCaption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool ask_yes_no(QWidget* parent, const QString& text) {
    if (g_recorder)
        return g_recorder->record(text);
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

} // namespace uikit
