#include "mainwin/operation_log.h"

#include <QTextCursor>

namespace mainwin {
namespace {

// CR LF ends a line. A lone CR or LF inside a message (a site text with line breaks) becomes a
// blank, so one log line stays one line of the box.
QString to_display(const std::string& text) {
    QStringList lines = QString::fromStdString(text).split(QStringLiteral("\r\n"));
    for (QString& line : lines) {
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (line.size() > OperationLog::kMaxLineLength) {
            qsizetype cut = OperationLog::kMaxLineLength;
            if (line[cut].isLowSurrogate())
                --cut;
            line.truncate(cut);
            line += QChar(0x2026);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

OperationLog::OperationLog(QWidget* parent) : QPlainTextEdit(parent), painting_(this) {
    setObjectName(QStringLiteral("编辑框记录"));
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setMaximumBlockCount(kMaxLines);
    QPalette colours = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, Qt::black);
        colours.setColor(group, QPalette::Text, QColor(0, 255, 0));
    }
    setPalette(colours);
    append_text("操作记录....\r\n");
}

void OperationLog::append_text(const std::string& text) {
    painting_.changing();
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    insertPlainText(to_display(text));
    ensureCursorVisible();
}

std::string OperationLog::text() const {
    return toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toStdString();
}

} // namespace mainwin
