#include "widgets/StepArrows.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace quenda {

namespace {

QToolButton* MakeArrow(Qt::ArrowType arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    // Pressing an arrow must not take the focus from the edit box: leaving a
    // box runs its range check, and a step is not meant to.
    button->setFocusPolicy(Qt::NoFocus);
    // Half an edit box high each, so the pair sits beside its box like the
    // classic up-down control.
    button->setFixedSize(16, 12);
    return button;
}

}  // namespace

StepArrows::StepArrows(QWidget* parent)
    : QWidget(parent), up_(MakeArrow(Qt::UpArrow, this)), down_(MakeArrow(Qt::DownArrow, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, [this] { emit Stepped(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { emit Stepped(-1); });
}

}  // namespace quenda
