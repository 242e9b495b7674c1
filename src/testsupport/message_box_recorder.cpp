#include "testsupport/message_box_recorder.h"

namespace testsupport {

MessageBoxRecorder::MessageBoxRecorder() : previous_(uikit::set_message_box_sink(this)) {}

MessageBoxRecorder::~MessageBoxRecorder() { uikit::set_message_box_sink(previous_); }

bool MessageBoxRecorder::take(const QString& text) {
    texts_.append(text);
    if (hook_)
        hook_(text);
    return answer_;
}

} // namespace testsupport
