#include "editor/number_boxes.h"

#include "common/text.h"

#include <QKeyEvent>
#include <climits>

namespace editor {
namespace {

// Control keys (backspace, Ctrl+V, arrows) carry no printable text and go through.
bool is_refused_typing(const QString& text) {
    for (const QChar c : text) {
        const bool allowed = (c >= u'0' && c <= u'9') || c == u'-';
        if (c.isPrint() && !allowed)
            return true;
    }
    return false;
}

} // namespace

IntegerLineEdit::IntegerLineEdit(QWidget* parent) : QLineEdit(parent) {
    // An input method would commit composed text without a key press to filter.
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void IntegerLineEdit::keyPressEvent(QKeyEvent* event) {
    // With Ctrl held a key is a shortcut (Ctrl+V pastes), never typing.
    const bool shortcut = event->modifiers().testFlag(Qt::ControlModifier);
    if (!shortcut && is_refused_typing(event->text())) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

TimeFieldEdit::TimeFieldEdit(long long highest, Qt::Key focus_key, QWidget* parent)
    : IntegerLineEdit(parent), highest_(highest), focus_key_(focus_key) {}

void TimeFieldEdit::keyPressEvent(QKeyEvent* event) {
    IntegerLineEdit::keyPressEvent(event);
    const int key = event->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        step(key == Qt::Key_Up);
        event->accept();
    } else if (key == focus_key_ && neighbour_) {
        neighbour_->setFocus(Qt::OtherFocusReason);
    }
}

void TimeFieldEdit::step(bool up) {
    long long value = common::text_to_int(text().toStdString());
    if (up)
        value = value == highest_ ? 0 : value == LLONG_MAX ? value : value + 1;
    else
        value = value == 0 ? highest_ : value == LLONG_MIN ? value : value - 1;
    setText(QString::number(value));
}

void TimeFieldEdit::focusInEvent(QFocusEvent* event) {
    IntegerLineEdit::focusInEvent(event);
    selectAll();
}

void TimeFieldEdit::mouseReleaseEvent(QMouseEvent* event) {
    IntegerLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        selectAll();
}

} // namespace editor
