#include "device/BluetoothRadioDialog.h"

#include "device/CaptureDialog.h"
#include "device/Messages.h"
#include "store/RecordingStore.h"
#include "ui_BluetoothRadioDialog.h"
#include "widgets/UiTexts.h"

#include <QApplication>
#include <QPushButton>

namespace quenda {

namespace {
// Our own: the link said nothing about why it did not connect.
constexpr const char* kNoRadioConnected = "No Bluetooth radio connected";
}  // namespace

BluetoothRadioDialog::BluetoothRadioDialog(const std::vector<RadioInfo>& radios, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::BluetoothRadioDialog>()) {
    ui_->setupUi(this);
    ApplyUiText(this);
    for (const RadioInfo& radio : radios) ui_->radioList->addItem(RadioLine(radio));
    if (!radios.empty()) ui_->radioList->setCurrentRow(0);
    auto updateConnect = [this] { ui_->connectButton->setEnabled(!ui_->radioList->selectedItems().isEmpty()); };
    connect(ui_->radioList, &QListWidget::itemSelectionChanged, this, updateConnect);
    connect(ui_->radioList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    updateConnect();
}

BluetoothRadioDialog::~BluetoothRadioDialog() = default;

std::optional<std::size_t> BluetoothRadioDialog::Chosen() const {
    const int row = ui_->radioList->currentRow();
    if (row < 0 || ui_->radioList->selectedItems().isEmpty()) return std::nullopt;
    return static_cast<std::size_t>(row);
}

QString BluetoothRadioDialog::RadioLine(const RadioInfo& radio) {
    const QString address = QString::fromStdString(radio.address);
    if (radio.name.empty()) return address;
    return QString::fromStdString(radio.name) + QStringLiteral(" (") + address + QLatin1Char(')');
}

RadioChooser MakeRadioChooser(QWidget* parent) {
    return [parent](const std::vector<RadioInfo>& radios) -> std::optional<std::size_t> {
        // The search is over; the user has the pointer back while choosing.
        const bool busy = QApplication::overrideCursor() != nullptr;
        if (busy) QApplication::restoreOverrideCursor();
        BluetoothRadioDialog dialog(radios, parent);
        const bool chosen = dialog.exec() == QDialog::Accepted;
        if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
        return chosen ? dialog.Chosen() : std::nullopt;
    };
}

int RunFindBluetoothRadio(RecordingStore& store, BluetoothLink& link, MessageSink& messages,
                          const std::function<int()>& openCapture) {
    store.UseSerialLink = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool connected = link.FindAndConnectRadio();
    QApplication::restoreOverrideCursor();
    if (!connected) {
        const std::string why = link.LastError();
        messages.ShowMessage(why.empty() ? kNoRadioConnected : why);
        return QDialog::Rejected;
    }
    messages.ShowMessage(msg::kConnectSucceedBluetooth);
    return openCapture();
}

int RunFindBluetoothRadio(QWidget* parent, CaptureHost& host, RecordingStore& store, Settings& settings,
                          BluetoothLink& link) {
    link.SetRadioChooser(MakeRadioChooser(parent));
    CaptureMessageSink messages(parent);
    return RunFindBluetoothRadio(store, link, messages,
                                 [&] { return RunCaptureDialog(parent, host, store, settings, &link); });
}

}  // namespace quenda
