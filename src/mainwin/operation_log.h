#pragma once
// The operation log `编辑框记录`: green text on black, newest line at the bottom. Lines arrive
// with CR LF ends, as the log is written; each one shows as one line of the box.

#include "mainwin/paint_pacer.h"

#include <QPlainTextEdit>
#include <string>

namespace mainwin {

class OperationLog final : public QPlainTextEdit {
public:
    explicit OperationLog(QWidget* parent);

    // Lines kept; older ones are dropped from the top so a run of many days stays fast and
    // small. 50,000 lines are days of refreshes; each costs the text view about 630 bytes.
    static constexpr int kMaxLines = 50'000;
    // Characters shown of one line; the rest gives way to "…". Laying out a line costs time
    // that grows with the square of its length, and a site message of a megabyte would hold
    // the window for minutes.
    static constexpr int kMaxLineLength = 10'000;

    // Appends `text` at the end, caret moved there first, and scrolls to it.
    void append_text(const std::string& text);
    // What the box shows, with CR LF line ends.
    std::string text() const;

private:
    // Lines that follow one another closely are painted together, the scroll bar too (each line
    // moves it); the text is in the box at once.
    PaintPacer painting_;
};

} // namespace mainwin
