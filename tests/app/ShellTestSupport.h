#pragma once

// Helpers shared by the shell's Qt tests.

#include "app/MainWindow.h"
#include "app/Resources.h"
#include "app/Startup.h"
#include "app/TestView.h"
#include "document/AppContext.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace quenda::test {

// Saves a picture of `widget` under $QUENDA_SCREENSHOT_DIR for a person to look at.
inline void SaveScreenshot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty() || !QDir().mkpath(dir)) return;
    widget->grab().save(dir + "/" + name + ".png");
}

inline ViewFactories TestViews(AppContext& context) {
    ViewFactories views;
    views.trend = [&context](MainWindow&) { return new TestView(context); };
    views.table = [&context](MainWindow&) {
        auto* view = new TestView(context);
        view->setObjectName("table");
        return view;
    };
    return views;
}

// A main window over built-in resources with test views.
struct FrameFixture {
    explicit FrameFixture(CommandHandlers handlers = {}) {
        auto views = TestViews(context);
        frame = std::make_unique<MainWindow>(
            context, resources,
            std::vector<DocumentTemplate>{{DocKind::Trend, views.trend}, {DocKind::Table, views.table}},
            std::move(handlers));
        frame->Create(0);
    }
    AppContext context;
    Resources resources;
    std::unique_ptr<MainWindow> frame;
};

// Closes the next modal box that appears, after passing its text to `seen`.
inline void CloseNextModal(std::function<void(const QString&)> seen) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, seen = std::move(seen)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) seen(box->text());
        modal->close();
        timer->deleteLater();
    });
    timer->start(10);
}

}  // namespace quenda::test
