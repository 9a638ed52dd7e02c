// Options > Clinical Setup: what it shows, what OK writes, and a settings file
// that cannot be written.
#include "analysis/ClinicalSetupDialog.h"
#include "base/Settings.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QtTest>

#include <filesystem>

namespace quenda {

class ClinicalSetupDialogTest : public QObject {
    Q_OBJECT
private slots:
    void defaultsWritesAndRefusals() {
        test::TempDir dir("quenda-clinical-setup");
        Settings settings(dir / "Quenda.ini");
        QCOMPARE(ReadClinicalSetup(settings), (ClinicalSetup{true, 0}));  // nothing in the file yet
        {
            ClinicalSetupDialog dialog(settings);
            QVERIFY(dialog.ArtefactsBox()->isChecked());
            QCOMPARE(dialog.AveragingBox()->value(), 0);
            QCOMPARE(dialog.AveragingBox()->text(), QString("not stated"));
            dialog.ArtefactsBox()->setChecked(false);
            dialog.AveragingBox()->setValue(4);
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(ReadClinicalSetup(settings), (ClinicalSetup{false, 4}));
        QCOMPARE(ReadClinicalSetup(settings).Profile(), ClinicalProfile::Raw);
        ClinicalSetupDialog again(settings);
        QVERIFY(!again.ArtefactsBox()->isChecked());
        QCOMPARE(again.AveragingBox()->value(), 4);

        // A settings file in a folder that is not there: said, and the dialog stays.
        Settings nowhere(dir / "missing" / "Quenda.ini");
        QString shown;
        ClinicalSetupDialog refused(nowhere, [&shown](const QString& text) { shown = text; });
        refused.accept();
        QVERIFY(!shown.isEmpty());
        QVERIFY(refused.result() != int(QDialog::Accepted));
        QVERIFY(!std::filesystem::exists(dir / "missing"));
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::ClinicalSetupDialogTest)
#include "ClinicalSetupDialogTest.moc"
