#pragma once
// The program's message boxes: caption "信息：", an OK button (the close question has Yes and
// No). Tests answer boxes in advance and read what was shown, so no test waits on a box.

#include <QString>

class QWidget;

namespace uikit {

// Shows `text` modally with an OK button.
void show_message(QWidget* parent, const QString& text);
// Asks `text` with Yes and No; true for Yes.
bool ask_yes_no(QWidget* parent, const QString& text);

// Where boxes go instead of the screen while one is installed (a test's recorder).
class MessageBoxSink {
public:
    virtual ~MessageBoxSink() = default;
    // Takes the text of a box that is not shown; for a question, returns the answer.
    virtual bool take(const QString& text) = 0;
};

// Installs `sink` (nullptr: boxes are shown again) and returns the one it replaces.
MessageBoxSink* set_message_box_sink(MessageBoxSink* sink);

} // namespace uikit
