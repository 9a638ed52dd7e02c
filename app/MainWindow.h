#pragma once

#include "app/CommandHandlers.h"
#include "app/CommandRouter.h"
#include "app/ViewDocument.h"
#include "link/PortDiscovery.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <vector>

class QLabel;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;

namespace quenda {

struct AppContext;
class DocumentWindow;
class TiledMdiArea;
class DeviceArrivalMonitor;
class Resources;
struct MenuSpec;
struct ToolbarSpec;
struct AcceleratorSpec;

// The main window: menu, toolbar, status bar and the painted client area with
// one document at a time. Menu items, toolbar buttons and keys all end in
// OnCommand(id), which hands them to the CommandRouter; the router keeps the
// display state and the greying rules, this class only shows them.
class MainWindow : public QMainWindow, private FrameOps {
    Q_OBJECT
public:
    MainWindow(AppContext& context, const Resources& resources, std::vector<DocumentTemplate> templates,
               CommandHandlers handlers, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The rest of creation: the splash (none for 0 ms), toolbar 128, the status
    // bar, docking, the client background. False when a resource is missing.
    bool Create(int splashMilliseconds);

    // Listens for new serial ports; an arrival runs New Data Capture while the
    // serial link is selected. `ports` replaces the system's port list.
    void StartDeviceWatch(std::unique_ptr<PortEnumerator> ports = nullptr);
    DeviceArrivalMonitor* DeviceWatch() const { return deviceWatch_; }

    AppContext& Context() { return context_; }
    CommandRouter& Router() { return router_; }
    TiledMdiArea* MdiArea() const { return mdiArea_; }

    // A command as a menu choice gives it; false when it is greyed.
    bool OnCommand(int commandId);
    // Applies the greying to every menu item, toolbar button and key.
    void UpdateCommandStates();

    // The active child's view: the tool window's while it is the active
    // child, else the open document's; nullptr when there is none.
    QWidget* ActiveView() const;

    // A child window beside the documents (the Nights window) that stays open
    // while documents come and go. Shows and activates it, making it with
    // `make` first when it is not open; its title is the view's.
    QWidget* ShowToolView(const std::function<QWidget*()>& make);
    // The open tool window's view, or nullptr.
    QWidget* ToolView() const;

    // What the current data set is, after the program's title and in the
    // status bar ("Night of 2026-12-06, ID 3"); empty clears it.
    void SetDataCaption(const QString& caption);
    QString DataCaption() const;
    int DocumentCount() const { return static_cast<int>(children_.size()); }

    // For tests and screenshots.
    QString PagePaneText() const;
    QString IdleText() const;
    std::vector<QAction*> ActionsFor(int commandId) const;
    std::vector<QMenu*> Popups() const { return popups_; }
    QToolBar* ToolBar() const { return toolBar_; }
    const std::vector<QLabel*>& StatusPanes() const { return panes_; }

public slots:
    // A recorder's port arrived (the monitor has let it settle): runs New
    // Data Capture while the serial link is selected.
    void OnDeviceArrival();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // FrameOps
    void CloseAllDocuments() override;
    void OpenDocument(DocKind kind) override;
    void ShowMaximized() override;
    void PostPageUpdate(int pageIndex, int pageCount) override;
    void RepaintCurrentView() override;
    bool ViewHandles(int commandId) const override;
    void RunViewCommand(int commandId) override;
    void ShowAbout() override;
    void CloseMainWindow() override;
    void ReportNotAvailable(int commandId) override;

    void InstallHooks(const CommandHandlers& handlers);
    QAction* NewCommandAction(int commandId, const QString& text);
    void BuildMenu(const MenuSpec& menu);
    bool BuildToolbar(const ToolbarSpec& toolbar);
    void BuildAccelerators(const std::vector<AcceleratorSpec>& keys);
    void BuildStatusBar();
    void UpdateLockPanes();

    AppContext& context_;
    const Resources& resources_;
    std::vector<DocumentTemplate> templates_;
    CommandRouter router_;

    TiledMdiArea* mdiArea_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    std::vector<QMenu*> popups_;
    std::multimap<int, QAction*> actions_;
    QLabel* idlePane_ = nullptr;
    QLabel* pagePane_ = nullptr;
    std::vector<QLabel*> panes_;  // page, CAPS, NUM, SCROLL
    QTimer* lockTimer_ = nullptr;
    DeviceArrivalMonitor* deviceWatch_ = nullptr;
    std::vector<QPointer<DocumentWindow>> children_;
    QPointer<QMdiSubWindow> toolWindow_;
    QLabel* captionPane_ = nullptr;
    QString caption_;
};

}  // namespace quenda
