#include "mainwin/status_panes.h"

#include <QLabel>

namespace mainwin {
namespace {

constexpr std::array<int, StatusPanes::kPaneCount> kPaneWidths = {60, 280, 200, 200};

} // namespace

StatusPanes::StatusPanes(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("状态条1"));
    // The panes together are wider than the bar; like any status bar it simply cuts the last
    // one off at its right edge.
    int left = 0;
    for (int i = 0; i < kPaneCount; ++i) {
        auto* pane = new QLabel(this);
        pane->setObjectName(QStringLiteral("状态条1_窗格%1").arg(i));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setIndent(3);
        pane->setTextFormat(Qt::PlainText);
        pane->setGeometry(left, 0, kPaneWidths[static_cast<std::size_t>(i)], 20);
        left += kPaneWidths[static_cast<std::size_t>(i)];
        panes_[static_cast<std::size_t>(i)] = pane;
    }
    panes_[0]->setText(QStringLiteral("状态栏"));
}

void StatusPanes::set_text(int pane, const QString& text) {
    if (pane < 0 || pane >= kPaneCount)
        return;
    QLabel* label = panes_[static_cast<std::size_t>(pane)];
    if (label->text() == text)
        return;
    painting_.changing();
    label->setText(text);
}

QString StatusPanes::text(int pane) const {
    return pane >= 0 && pane < kPaneCount ? panes_[static_cast<std::size_t>(pane)]->text() : QString();
}

} // namespace mainwin
