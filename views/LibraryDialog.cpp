#include "views/LibraryDialog.h"

#include "base/Settings.h"
#include "base/StringFormat.h"
#include "base/UiText.h"
#include "nights/Library.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include "ui_LibraryDialog.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

#include <filesystem>

namespace quenda {

namespace {

// A URI or a path is far shorter; a longer value is not one.
constexpr std::size_t kLocationBuffer = 4096;

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string ChosenLibraryLocation(const Settings& settings) {
    return settings.ReadString(settings_key::kNightsLibrary, "", kLocationBuffer);
}

LibraryDialog::LibraryDialog(Settings& settings, const std::string& current, MessageFunction showMessage,
                             QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::LibraryDialog>()),
      settings_(settings),
      showMessage_(std::move(showMessage)) {
    ui_->setupUi(this);
    setWindowTitle(UiQString("Library"));
    ui_->thisComputer->setText(UiQString("This computer"));
    ui_->clinicServer->setText(UiQString("Clinic server"));
    ui_->serverHint->setText(
        UiQString("A clinic's PostgreSQL server: postgresql://host/db, with ?sslmode=require for TLS. The password "
                  "comes from ~/.pgpass or PGPASSWORD, or is asked for; Quenda never stores it."));
    ui_->buttonBox->button(QDialogButtonBox::Ok)->setText(UiQString("OK"));
    ui_->buttonBox->button(QDialogButtonBox::Cancel)->setText(UiQString("Cancel"));
    connect(ui_->buttonBox, &QDialogButtonBox::accepted, this, &LibraryDialog::accept);
    connect(ui_->buttonBox, &QDialogButtonBox::rejected, this, &LibraryDialog::reject);

    const bool server = IsServerLocation(current);
    ui_->thisComputer->setChecked(!server);
    ui_->clinicServer->setChecked(server);
    ui_->fileEdit->setText(Q(server || current.empty() ? DefaultLibraryFile().string() : current));
    ui_->serverEdit->setText(server ? Q(ShownLocation(current)) : QString());
    // Each box belongs to its choice: typing in one chooses it.
    connect(ui_->fileEdit, &QLineEdit::textEdited, ui_->thisComputer, [this] { ui_->thisComputer->setChecked(true); });
    connect(ui_->serverEdit, &QLineEdit::textEdited, ui_->clinicServer,
            [this] { ui_->clinicServer->setChecked(true); });
}

LibraryDialog::~LibraryDialog() = default;

QRadioButton* LibraryDialog::ThisComputer() const { return ui_->thisComputer; }
QRadioButton* LibraryDialog::ClinicServer() const { return ui_->clinicServer; }
QLineEdit* LibraryDialog::FileEdit() const { return ui_->fileEdit; }
QLineEdit* LibraryDialog::ServerEdit() const { return ui_->serverEdit; }

std::string LibraryDialog::Chosen() const {
    if (ui_->clinicServer->isChecked()) {
        const std::string uri = ui_->serverEdit->text().trimmed().toStdString();
        // A URI stays text; a password typed into it is not kept.
        return IsServerLocation(uri) ? ShownLocation(uri) : std::string();
    }
    const std::string file = ui_->fileEdit->text().trimmed().toStdString();
    if (file.empty()) return {};
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    return ec ? file : absolute.string();
}

void LibraryDialog::Say(const QString& text) {
    if (showMessage_) {
        showMessage_(text);
    } else {
        ShowMessageBox(this, text, QMessageBox::Warning);
    }
}

void LibraryDialog::accept() {
    const std::string chosen = Chosen();
    if (chosen.empty()) {
        Say(ui_->clinicServer->isChecked() ? UiQString("A clinic server is named by a URI: postgresql://host/db")
                                           : UiQString("Name the library file on this computer."));
        return;
    }
    if (!settings_.WriteString(settings_key::kNightsLibrary, chosen)) {
        Say(UiQString("The settings file can't be written") + ": " + Q(settings_.LastError()));
        return;
    }
    QDialog::accept();
}

bool RunLibraryDialog(QWidget* parent, Settings& settings, std::string& chosen) {
    LibraryDialog dialog(settings, chosen, {}, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    chosen = dialog.Chosen();
    return true;
}

PasswordPrompt DialogPasswordPrompt(QWidget* parent) {
    PasswordPrompt prompt;
    prompt.ask = [owner = QPointer<QWidget>(parent)](const PasswordRequest& request) -> std::optional<std::string> {
        std::optional<std::string> password;
        const auto ask = [&] {
            QInputDialog dialog(owner ? owner.data() : QApplication::activeWindow());
            dialog.setWindowTitle(UiQString("Clinic server"));
            dialog.setLabelText(Q(FillPlaceholders(UiText("The password for the clinic server %1:"), {request.where})));
            dialog.setTextEchoMode(QLineEdit::Password);
            dialog.setOkButtonText(UiQString("OK"));
            dialog.setCancelButtonText(UiQString("Cancel"));
            if (dialog.exec() == QDialog::Accepted) password = dialog.textValue().toStdString();
        };
        if (QThread::currentThread() == qApp->thread()) {
            ask();
        } else {
            QMetaObject::invokeMethod(qApp, ask, Qt::BlockingQueuedConnection);
        }
        return password;
    };
    return prompt;
}

}  // namespace quenda
