#pragma once

#include <QDialog>

class QListWidget;

namespace quenda {

class RecordingStore;

// "Open other ID data": lists every ID of the last download that holds
// samples, "ID %3d     total %10d Groups", in ascending order. Done with no
// line selected says "Please select patient ID" and stays open.
class OtherIdDialog : public QDialog {
    Q_OBJECT
public:
    explicit OtherIdDialog(const RecordingStore& store, QWidget* parent = nullptr);

    // The ID of the chosen line after Done, else 0.
    int SelectedId() const { return selectedId_; }

    void accept() override;

private:
    QListWidget* list_;
    int selectedId_ = 0;
};

}  // namespace quenda
