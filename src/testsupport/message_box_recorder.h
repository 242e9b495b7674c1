#pragma once
// Answers the program's message boxes while it lives, so that no test waits on a box, and keeps
// what they said.

#include "uikit/message_box.h"

#include <QStringList>
#include <functional>

namespace testsupport {

class MessageBoxRecorder final : public uikit::MessageBoxSink {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder() override;
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // Answer given to the next questions (default: Yes).
    void answer_questions(bool yes) { answer_ = yes; }
    // Called when a box is shown, before it returns (for example to act in the middle of it).
    void on_show(std::function<void(const QString&)> hook) { hook_ = std::move(hook); }

    const QStringList& texts() const { return texts_; }
    void clear() { texts_.clear(); }

    bool take(const QString& text) override;

private:
    QStringList texts_;
    bool answer_ = true;
    std::function<void(const QString&)> hook_;
    uikit::MessageBoxSink* previous_;
};

} // namespace testsupport
