#pragma once

#include <QWidget>

class QToolButton;

namespace quenda {

// An up-down control with no buddy: two arrow buttons that only report which
// way they were pressed. The owner decides what a step does to its value, so
// there is no position here to drift out of step with the edit box beside it.
class StepArrows : public QWidget {
    Q_OBJECT
public:
    explicit StepArrows(QWidget* parent = nullptr);

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

signals:
    // +1 for the up arrow, -1 for the down arrow.
    void Stepped(int delta);

private:
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace quenda
