#pragma once

#include "link/BluetoothLink.h"

#include <QDialog>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class BluetoothRadioDialog;
}

namespace quenda {

class CaptureHost;
class MessageSink;
class RecordingStore;
class Settings;

// Lists the radios a Bluetooth search found; the user picks the one to
// connect to. "Connect" needs a chosen line; a double-click connects too.
class BluetoothRadioDialog : public QDialog {
    Q_OBJECT
public:
    explicit BluetoothRadioDialog(const std::vector<RadioInfo>& radios, QWidget* parent = nullptr);
    ~BluetoothRadioDialog() override;

    // The chosen radio's index in the list given, after "Connect".
    std::optional<std::size_t> Chosen() const;

    // "Name (AA:BB:CC:DD:EE:FF)", or the address alone for a radio that did
    // not tell its name.
    static QString RadioLine(const RadioInfo& radio);

private:
    std::unique_ptr<Ui::BluetoothRadioDialog> ui_;
};

// A chooser for BluetoothLink that runs BluetoothRadioDialog modally.
RadioChooser MakeRadioChooser(QWidget* parent);

// "Find bluetooth radio": selects the Bluetooth link (it stays selected even
// when nothing connects), runs the link's search and chooser, and when a radio
// is connected shows "CONNECT SUCCEED" and runs `openCapture` (the capture
// dialog). When nothing connects, the link's reason is shown instead. Returns
// what `openCapture` returned, or QDialog::Rejected.
int RunFindBluetoothRadio(RecordingStore& store, BluetoothLink& link, MessageSink& messages,
                          const std::function<int()>& openCapture);

// The command as the main window runs it: the radio dialog as the link's
// chooser, message boxes, and the capture dialog over the link.
int RunFindBluetoothRadio(QWidget* parent, CaptureHost& host, RecordingStore& store, Settings& settings,
                          BluetoothLink& link);

}  // namespace quenda
