#pragma once

#include "formats/Import.h"

#include <QDialog>

class QLineEdit;
class QSpinBox;

namespace quenda {

// File > Import...: which CSV or EDF file, and under which ID (1-127,
// default 1) its samples go.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImportDialog(QWidget* parent = nullptr);

    std::string FilePath() const;
    int Id() const;

    void accept() override;  // refuses an empty file name

private:
    void Browse();

    QLineEdit* file_;
    QSpinBox* id_;
};

// The two-choice question for a file whose dates fit both day/month orders;
// Unknown when the user cancels.
DateOrder AskDateOrder(QWidget* parent, const QString& fileName);

}  // namespace quenda
