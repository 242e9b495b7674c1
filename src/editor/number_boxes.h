#pragma once
// A one-line box for whole numbers: typed characters other than the digits and "-" are
// refused, while pasted or dropped text is kept as it is (the program reads the leading
// number of whatever the box holds).

#include <QLineEdit>

namespace editor {

class IntegerLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit IntegerLineEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A start or end hour or minute: Up and Down step the value round 0..`highest` (an empty box
// counts as 0, values outside the range step on without correction), one arrow key moves the
// focus to the neighbouring box, and the whole text is selected on focus and on a left click
// so that typing replaces it.
class TimeFieldEdit final : public IntegerLineEdit {
    Q_OBJECT
public:
    TimeFieldEdit(long long highest, Qt::Key focus_key, QWidget* parent);

    void set_neighbour(QWidget* neighbour) { neighbour_ = neighbour; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void step(bool up);

    long long highest_;
    Qt::Key focus_key_;
    QWidget* neighbour_ = nullptr;
};

} // namespace editor
