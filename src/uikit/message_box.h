#pragma once
// The program's message boxes: caption "信息：", an OK button (the close question has Yes and
// No). Tests answer boxes in advance and read what was shown, so no test waits on a box.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace uikit {

// Shows `text` modally with an OK button.
void show_message(QWidget* parent, const QString& text);
// Asks `text` with Yes and No; true for Yes.
bool ask_yes_no(QWidget* parent, const QString& text);

// Test hook: while installed, boxes are not shown; each box's text is passed to the hook, and
// for a question its return value is the answer.
class MessageBoxRecorder final {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // Answer given to the next questions (default: Yes).
    void answer_questions(bool yes) { answer_ = yes; }
    // Called when a box is shown, before it returns (for example to act in the middle of it).
    void on_show(std::function<void(const QString&)> hook) { hook_ = std::move(hook); }

    const QStringList& texts() const { return texts_; }
    void clear() { texts_.clear(); }

private:
    friend void show_message(QWidget*, const QString&);
    friend bool ask_yes_no(QWidget*, const QString&);
    bool record(const QString& text);

    QStringList texts_;
    bool answer_ = true;
    std::function<void(const QString&)> hook_;
    MessageBoxRecorder* previous_;
};

} // namespace uikit
