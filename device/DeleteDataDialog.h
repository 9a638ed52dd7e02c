#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

namespace Ui {
class DeleteDataDialog;
}

namespace quenda {

class RecordingStore;

// "Delete Data": which ID ("All" or one number) and which data type ("All",
// "SpO2&Pr") the recorder is to erase. A data type other than "All" can be
// chosen only together with one ID.
class DeleteDataDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId { kIdBox = 1044, kDataTypeBox = 1045 };

    // `ids`: the IDs the last connection reported groups for, ascending.
    // Recorders whose format code cannot erase one ID get only "All".
    DeleteDataDialog(const std::vector<int>& ids, int dataFormatCode, QWidget* parent = nullptr);
    ~DeleteDataDialog() override;

    // The IDs 1..128 that hold samples in the store, ascending.
    static std::vector<int> IdsWithGroups(const RecordingStore& store);

    // The chosen ID entry's text ("All" after opening) and its decimal value
    // (0 for "All").
    QString IdText() const { return idText_; }
    int Id() const;
    // Index of the chosen data type: 0 "All", 1 "SpO2&Pr".
    int DataTypeCode() const { return dataTypeCode_; }

private:
    void OnIdChosen(int index);
    void OnDataTypeChosen(int index);

    std::unique_ptr<Ui::DeleteDataDialog> ui_;
    QString idText_;
    int dataTypeCode_ = 0;
};

}  // namespace quenda
