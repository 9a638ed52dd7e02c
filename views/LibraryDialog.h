#pragma once

#include "nights/LibraryLocation.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

class QLineEdit;
class QRadioButton;
class QWidget;

namespace Ui {
class LibraryDialog;
}

namespace quenda {

class Settings;

// The library Options > Library... chose (settings_key::kNightsLibrary): a
// file or a server's URI, never with a password; empty when none was chosen.
std::string ChosenLibraryLocation(const Settings& settings);

// Options > Library...: where the program's library of nights is. "This
// computer" shows the file (DefaultLibraryFile() unless another was chosen);
// "Clinic server" takes a postgresql:// URI. OK writes the choice to the
// settings file, a URI without its password (libpq's ~/.pgpass, PGPASSWORD or
// the program's prompt give it); a URI that is none, an empty file or a
// settings file that cannot be written is said and the dialog stays open.
class LibraryDialog : public QDialog {
    Q_OBJECT
public:
    using MessageFunction = std::function<void(const QString&)>;

    // `current`: the location the program uses now.
    LibraryDialog(Settings& settings, const std::string& current, MessageFunction showMessage = {},
                  QWidget* parent = nullptr);
    ~LibraryDialog() override;

    QRadioButton* ThisComputer() const;
    QRadioButton* ClinicServer() const;
    QLineEdit* FileEdit() const;
    QLineEdit* ServerEdit() const;
    // The location as OK stores it; empty when the choice is no location.
    std::string Chosen() const;

public slots:
    void accept() override;

private:
    void Say(const QString& text);

    std::unique_ptr<Ui::LibraryDialog> ui_;
    Settings& settings_;
    MessageFunction showMessage_;
};

// Runs the dialog modally; on OK, true with the chosen location in `chosen`.
bool RunLibraryDialog(QWidget* parent, Settings& settings, std::string& chosen);

// The program's password prompt: a small dialog over `parent` (or the active
// window), the typed text hidden. libpq may ask from a worker thread: the
// dialog then runs on the window's thread while the worker waits. The
// program asks through ServerPasswords, which keeps the answer for the run.
PasswordPrompt DialogPasswordPrompt(QWidget* parent = nullptr);

}  // namespace quenda
