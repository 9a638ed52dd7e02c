// Start-up and exit of the application: the patient file on a first start, the
// store emptied at both ends, the command line, and one running copy across
// real processes (this executable started again in a child role).

#include "ShellTestSupport.h"

#include "app/Startup.h"
#include "base/CommandIds.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include <sys/stat.h>

namespace quenda {

namespace {

namespace fs = std::filesystem;

struct Message {
    std::string text;
    QMessageBox::Icon icon;
};

StartupOptions OptionsIn(const fs::path& dir, std::vector<Message>* messages) {
    StartupOptions options;
    options.programDir = dir / "bin";
    options.userDataHome = dir / "share";
    options.lockFile = dir / "quenda.lock";
    options.resourceLibrary.clear();
    options.splashMilliseconds = 0;
    options.watchDevices = false;
    options.showMessage = [messages](const std::string& text, QMessageBox::Icon icon) {
        if (messages) messages->push_back({text, icon});
    };
    fs::create_directories(options.programDir);
    return options;
}

unsigned Mode(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

// The child role: start up in `dir`, say "started" and run, or print the
// refusal and end.
int RunChild(const char* dir) {
    AppContext context;
    StartupOptions options = OptionsIn(dir, nullptr);
    options.showMessage = [](const std::string& text, QMessageBox::Icon) {
        std::printf("message: %s\n", text.c_str());
        std::fflush(stdout);
    };
    Startup app(context, options, test::TestViews(context), {});
    if (!app.Start({})) {
        std::printf("refused\n");
        return 1;
    }
    std::printf("started\n");
    std::fflush(stdout);
    return QApplication::exec();
}

bool WaitForLine(QProcess& process, const QByteArray& line) {
    QByteArray seen;
    while (!seen.contains(line)) {
        if (!process.waitForReadyRead(20000)) return false;
        seen += process.readAllStandardOutput();
    }
    return true;
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    // Installed (no build tree above the program): the patient file is made
    // silently in the data home, never beside the program.
    void firstStartCreatesThePatientFileThenFindsIt() {
        QTemporaryDir tmp;
        const fs::path dir = tmp.path().toStdString();
        std::vector<Message> messages;
        {
            AppContext context;
            Startup app(context, OptionsIn(dir, &messages), test::TestViews(context), {});
            QVERIFY(app.Start({}));
            const fs::path file = dir / "share" / "Quenda" / "bldb" / "pationtrec.dat";
            QVERIFY(messages.empty());
            QVERIFY(fs::exists(file));
            QVERIFY(!fs::exists(dir / "bin" / "bldb"));
            QCOMPARE(fs::file_size(file), std::uintmax_t{0});
            QCOMPARE(Mode(file), 0600u);
            QCOMPARE(Mode(file.parent_path()), 0700u);
            QCOMPARE(context.patient.PatientFile(), file);
            // Maximised, no document, the background showing.
            MainWindow* frame = app.Window();
            QVERIFY(frame->isVisible());
            QVERIFY(frame->isMaximized());
            QCOMPARE(frame->DocumentCount(), 0);
            QCOMPARE(frame->Router().State(), DisplayState{});
            test::SaveScreenshot(frame, "startup_main_window");
            app.Exit();
            QVERIFY(!app.Window());
        }
        AppContext context;
        Startup again(context, OptionsIn(dir, &messages), test::TestViews(context), {});
        QVERIFY(again.Start({}));
        QVERIFY(messages.empty());
    }

    // A patient file that is there but cannot be used is named; one that
    // cannot be made is reported; start-up goes on.
    void unusablePatientFileIsReportedAndStartUpGoesOn() {
        const struct {
            const char* what;
            const char* made;  // under share/Quenda
            bool folder;
        } cases[] = {
            {"a folder in its place", "bldb/pationtrec.dat", true},
            {"a file where its folder belongs", "bldb", false},
        };
        for (const auto& c : cases) {
            QTemporaryDir tmp;
            const fs::path dir = tmp.path().toStdString();
            std::vector<Message> messages;
            AppContext context;
            StartupOptions options = OptionsIn(dir, &messages);
            const fs::path made = dir / "share" / "Quenda" / c.made;
            fs::create_directories(c.folder ? made : made.parent_path());
            if (!c.folder) std::fclose(std::fopen(made.c_str(), "w"));
            Startup app(context, options, test::TestViews(context), {});
            QVERIFY2(app.Start({}), c.what);
            QVERIFY2(messages.size() == 2, c.what);
            QCOMPARE(messages[0].text, std::string("Can't open pationtrec.dat file"));
            QCOMPARE(messages[1].icon, QMessageBox::Warning);
            QVERIFY2(QString::fromStdString(messages[1].text).contains("bldb"), c.what);
        }
    }

    void storeIsEmptiedAtBothEnds() {
        QTemporaryDir tmp;
        AppContext context;
        context.store.AppendSample(SampleRecord{.id = 9, .spo2 = 95});
        context.store.SelectId(9);
        context.views.currentPageIndex = 3;
        Startup app(context, OptionsIn(tmp.path().toStdString(), nullptr), test::TestViews(context), {});
        QCOMPARE(context.store.IdCount(9), 0);
        QCOMPARE(context.store.CurrentSampleCount, 0);
        QCOMPARE(context.views.currentPageIndex, 0);
        QVERIFY(app.Start({}));
        context.store.AppendSample(SampleRecord{.id = 9, .spo2 = 95});
        app.Exit();
        QCOMPARE(context.store.IdCount(9), 0);
    }

    void commandLineFlagsEndTheRun() {
        QTemporaryDir tmp;
        const fs::path dir = tmp.path().toStdString();
        {
            AppContext context;
            Startup app(context, OptionsIn(dir, nullptr), test::TestViews(context), {});
            QVERIFY(!app.Start({"-Register"}));
        }
        std::string opened;
        CommandHandlers handlers;
        handlers.openSavedDataFile = [&](MainWindow&, const std::string& path) {
            opened = path;
            return false;
        };
        {
            AppContext context;
            Startup app(context, OptionsIn(dir, nullptr), test::TestViews(context), handlers);
            QVERIFY(!app.Start({"-p", "night.dat"}));
            QCOMPARE(opened, std::string("night.dat"));
        }
        // A bare file name opens nothing and the program runs.
        opened.clear();
        AppContext context;
        Startup plain(context, OptionsIn(dir, nullptr), test::TestViews(context), handlers);
        QVERIFY(plain.Start({"night.dat"}));
        QVERIFY(opened.empty());
        QCOMPARE(plain.Window()->DocumentCount(), 0);
    }

    void secondProcessRefusedUntilTheFirstIsKilled() {
        QTemporaryDir tmp;
        const QString self = QCoreApplication::applicationFilePath();
        const QStringList childArgs{"--child-start", tmp.path()};

        QProcess first;
        first.start(self, childArgs);
        QVERIFY(WaitForLine(first, "started"));

        QProcess second;
        second.start(self, childArgs);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 1);
        const QByteArray said = second.readAllStandardOutput();
        QVERIFY2(said.contains("message: You have Run one"), said.constData());
        QVERIFY(first.state() == QProcess::Running);

        // A crash must not block the next start: the kernel drops the lock.
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(20000));

        QProcess third;
        third.start(self, childArgs);
        QVERIFY(WaitForLine(third, "started"));
        third.kill();
        QVERIFY(third.waitForFinished(20000));
    }
};

}  // namespace quenda

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--child-start") return quenda::RunChild(argv[2]);
    quenda::StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartupTest.moc"
