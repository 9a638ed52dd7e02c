#pragma once

#include "formats/Import.h"

#include <QDialog>

#include <filesystem>
#include <optional>

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

// An EDF file with an XML file of its name beside it (`beside`, from
// ScoringXmlBeside): whether that XML is the study's scoring. Its path (or
// another XML file the user picks, the file dialog opened on it), an empty
// path for the EDF+ file's own annotations alone, nothing when the user
// cancels the import.
std::optional<std::filesystem::path> AskScoringXml(QWidget* parent, const std::filesystem::path& edf,
                                                   const std::filesystem::path& beside);

}  // namespace quenda
