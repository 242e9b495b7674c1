#pragma once
// The status bar `状态条1`: four panes side by side, addressed by index from 0. Each pane is a
// label named `状态条1_窗格<n>` so tests and people find it by name.

#include "mainwin/paint_pacer.h"

#include <QWidget>
#include <array>

class QLabel;

namespace mainwin {

class StatusPanes final : public QWidget {
public:
    explicit StatusPanes(QWidget* parent);

    static constexpr int kPaneCount = 4;

    // Indexes outside 0..3 are ignored / read as empty text. The text is set at once; while
    // texts change close behind each other they are painted together.
    void set_text(int pane, const QString& text);
    QString text(int pane) const;
    QLabel& pane(int index) const { return *panes_.at(static_cast<std::size_t>(index)); }

private:
    std::array<QLabel*, kPaneCount> panes_{};
    PaintPacer painting_{this};
};

} // namespace mainwin
