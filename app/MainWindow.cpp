#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/Bitmaps.h"
#include "app/DeviceArrivalMonitor.h"
#include "app/DocumentWindow.h"
#include "app/LockKeys.h"
#include "app/PageText.h"
#include "app/Resources.h"
#include "app/SplashDialog.h"
#include "app/TiledMdiArea.h"
#include "app/XkbLockKeys.h"
#include "base/CommandIds.h"
#include "base/CommandTarget.h"
#include "base/UiText.h"
#include "document/AppContext.h"
#include "link/PortDiscovery.h"
#include "widgets/MessageBox.h"
#include "widgets/PageUpdate.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace quenda {

namespace {

// Lock-key lights have no change notification; twice a second is enough for
// a status pane.
constexpr int kLockPollMilliseconds = 500;

QString Text(int stringId) { return QString::fromStdString(UiText(stringId, Resources::BuiltInString(stringId))); }

}  // namespace

MainWindow::MainWindow(AppContext& context, const Resources& resources, std::vector<DocumentTemplate> templates,
                       CommandHandlers handlers, QWidget* parent)
    : QMainWindow(parent),
      context_(context),
      resources_(resources),
      templates_(std::move(templates)),
      router_(context.store, context.settings, context.views, *this) {
    setWindowTitle(Text(str::kAppTitle));
    setWindowIcon(QIcon(QPixmap::fromImage(LoadImage(resources_, QString("icon%1.png").arg(res::kMainWindow)))));
    InstallHooks(handlers);
    mdiArea_ = new TiledMdiArea(this);
    setCentralWidget(mdiArea_);
    // Print and Print Preview follow the active child (a document or the tool window).
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this] { UpdateCommandStates(); });
}

MainWindow::~MainWindow() {
    // The client area outlives this object's members while the base class
    // deletes it; it must not report activations to them then.
    disconnect(mdiArea_, nullptr, this, nullptr);
}

void MainWindow::InstallHooks(const CommandHandlers& handlers) {
    // Each hook the router gets calls the shell's hook with this window.
    auto bind = [this](const std::function<void(MainWindow&)>& hook) -> std::function<void()> {
        if (!hook) return {};
        return [this, hook] { hook(*this); };
    };
    RouterHooks& hooks = router_.Hooks();
    hooks.runCaptureDialog = bind(handlers.runCaptureDialog);
    hooks.findBluetoothRadio = bind(handlers.findBluetoothRadio);
    hooks.openOtherIdData = bind(handlers.openOtherIdData);
    hooks.saveData = bind(handlers.saveData);
    hooks.openSavedData = bind(handlers.openSavedData);
    hooks.importFile = bind(handlers.importFile);
    hooks.listEvents = bind(handlers.listEvents);
    hooks.nights = bind(handlers.nights);
    hooks.userInfo = bind(handlers.userInfo);
    hooks.librarySetup = bind(handlers.librarySetup);
    hooks.reportTitle = bind(handlers.reportTitle);
    hooks.computeStatistics = bind(handlers.computeStatistics);
    if (handlers.unitSetupDialog) {
        hooks.unitSetupDialog = [this, hook = handlers.unitSetupDialog] { return hook(*this); };
    }
    if (handlers.analysisSetup) {
        hooks.analysisSetup = [this, hook = handlers.analysisSetup] { return hook(*this); };
    }
    if (handlers.clinicalSetup) {
        hooks.clinicalSetup = [this, hook = handlers.clinicalSetup] { return hook(*this); };
    }
}

bool MainWindow::Create(int splashMilliseconds) {
    if (splashMilliseconds > 0) {
        SplashDialog splash(LoadBitmap(resources_, res::kSplashBitmap));
        splash.ShowFor(splashMilliseconds);
    }
    BuildMenu(resources_.Menu(res::kMainWindow));
    if (!BuildToolbar(resources_.Toolbar(res::kMainWindow))) return false;
    BuildAccelerators(resources_.Accelerators(res::kMainWindow));
    BuildStatusBar();
    setDockOptions(dockOptions() | QMainWindow::AllowNestedDocks);
    mdiArea_->SetBackgroundBitmap(LoadBitmap(resources_, res::kBackgroundBitmap));
    UpdateCommandStates();
    return !popups_.empty();
}

QAction* MainWindow::NewCommandAction(int commandId, const QString& text) {
    auto* action = new QAction(text, this);
    const std::string commandString = UiText(commandId, Resources::BuiltInString(commandId));
    action->setStatusTip(QString::fromStdString(PromptOf(commandString)));
    action->setData(commandId);
    connect(action, &QAction::triggered, this, [this, commandId] { OnCommand(commandId); });
    actions_.emplace(commandId, action);
    return action;
}

void MainWindow::BuildMenu(const MenuSpec& menu) {
    for (const MenuPopupSpec& popupSpec : menu.popups) {
        QMenu* popup = menuBar()->addMenu(popupSpec.text);
        for (const MenuItemSpec& item : popupSpec.items) {
            if (item.id == 0) {
                popup->addSeparator();
            } else {
                // The text after a tab is shown right-aligned as the key.
                popup->addAction(NewCommandAction(item.id, item.text));
            }
        }
        // The greying is settled each time a menu drops down.
        connect(popup, &QMenu::aboutToShow, this, &MainWindow::UpdateCommandStates);
        popups_.push_back(popup);
    }
}

bool MainWindow::BuildToolbar(const ToolbarSpec& spec) {
    const QImage strip = LoadImage(resources_, spec.image);
    if (strip.isNull() || spec.buttons.empty()) return false;
    toolBar_ = new QToolBar(Text(str::kAppTitle), this);
    toolBar_->setObjectName("toolbar128");
    toolBar_->setIconSize(QSize(spec.buttonWidth, spec.buttonHeight));
    toolBar_->setMovable(true);  // the gripper
    toolBar_->setFloatable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    int picture = 0;
    for (const int id : spec.buttons) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        const QImage icon = strip.copy(picture++ * spec.buttonWidth, 0, spec.buttonWidth, spec.buttonHeight);
        const std::string commandString = UiText(id, Resources::BuiltInString(id));
        QAction* action = NewCommandAction(id, QString::fromStdString(ToolTipOf(commandString)));
        action->setIcon(QIcon(QPixmap::fromImage(icon)));
        action->setToolTip(QString::fromStdString(ToolTipOf(commandString)));
        toolBar_->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
    return true;
}

void MainWindow::BuildAccelerators(const std::vector<AcceleratorSpec>& keys) {
    for (const AcceleratorSpec& key : keys) {
        QAction* action = NewCommandAction(key.command, QString());
        action->setStatusTip(QString());
        action->setShortcut(QKeySequence(key.key, QKeySequence::PortableText));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);  // invisible; active while this window is
    }
}

void MainWindow::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    // The message pane: prompts replace the idle text while a command is pointed at.
    idlePane_ = new QLabel(Text(str::kIdleMessage), bar);
    bar->addWidget(idlePane_, 1);
    auto addPane = [&](const QString& sizingText) {
        auto* pane = new QLabel(bar);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(sizingText) + 2 * pane->frameWidth() + 6);
        bar->addPermanentWidget(pane);
        panes_.push_back(pane);
        return pane;
    };
    // The current data set's night, when it is one; before the page.
    captionPane_ = new QLabel(bar);
    captionPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    captionPane_->hide();
    bar->addPermanentWidget(captionPane_);
    pagePane_ = addPane(Text(str::kPagePane));
    for (const int id : {str::kIndicatorCaps, str::kIndicatorNum, str::kIndicatorScroll}) addPane(Text(id));
    lockTimer_ = new QTimer(this);
    connect(lockTimer_, &QTimer::timeout, this, &MainWindow::UpdateLockPanes);
    lockTimer_->start(kLockPollMilliseconds);
    UpdateLockPanes();
}

void MainWindow::UpdateLockPanes() {
    const LockKeys keys = ChooseLockKeys(ReadLockKeyLights(), ReadXkbLockKeys);
    // An indicator that is off shows nothing, as the key's light does.
    panes_[1]->setText(keys.caps ? Text(str::kIndicatorCaps) : QString());
    panes_[2]->setText(keys.num ? Text(str::kIndicatorNum) : QString());
    panes_[3]->setText(keys.scroll ? Text(str::kIndicatorScroll) : QString());
}

void MainWindow::StartDeviceWatch(std::unique_ptr<PortEnumerator> ports) {
    if (!deviceWatch_) {
        deviceWatch_ = new DeviceArrivalMonitor(this);
        connect(deviceWatch_, &DeviceArrivalMonitor::deviceArrived, this, &MainWindow::OnDeviceArrival);
    }
    deviceWatch_->Start(std::move(ports));
}

void MainWindow::OnDeviceArrival() {
    router_.DeviceArrived();
    UpdateCommandStates();
}

bool MainWindow::OnCommand(int commandId) {
    const bool ran = router_.Run(commandId);
    // Close leaves no data set shown, so no night to name.
    if (ran && commandId == cmd::kClose) SetDataCaption({});
    // Whatever the command changed (a dialog may have set the flags) shows on
    // the toolbar at once.
    UpdateCommandStates();
    return ran;
}

void MainWindow::UpdateCommandStates() {
    for (const auto& [id, action] : actions_) action->setEnabled(router_.IsEnabled(id));
}

QWidget* MainWindow::ActiveView() const {
    if (toolWindow_ && mdiArea_->activeSubWindow() == toolWindow_) return toolWindow_->widget();
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if (*it) return (*it)->widget();
    }
    return nullptr;
}

QWidget* MainWindow::ShowToolView(const std::function<QWidget*()>& make) {
    if (!toolWindow_) {
        QWidget* view = make();
        if (!view) return nullptr;
        auto* window = new QMdiSubWindow;
        window->setWidget(view);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(view->windowTitle());
        mdiArea_->addSubWindow(window);
        toolWindow_ = window;
    }
    toolWindow_->showMaximized();
    mdiArea_->setActiveSubWindow(toolWindow_);
    toolWindow_->widget()->setFocus();
    UpdateCommandStates();
    return toolWindow_->widget();
}

QWidget* MainWindow::ToolView() const { return toolWindow_ ? toolWindow_->widget() : nullptr; }

void MainWindow::SetDataCaption(const QString& caption) {
    caption_ = caption;
    setWindowTitle(caption.isEmpty() ? Text(str::kAppTitle) : Text(str::kAppTitle) + QStringLiteral(" - ") + caption);
    if (captionPane_) {
        captionPane_->setText(caption);
        captionPane_->setVisible(!caption.isEmpty());
    }
}

QString MainWindow::DataCaption() const { return caption_; }

QString MainWindow::PagePaneText() const { return pagePane_ ? pagePane_->text() : QString(); }

QString MainWindow::IdleText() const { return idlePane_ ? idlePane_->text() : QString(); }

std::vector<QAction*> MainWindow::ActionsFor(int commandId) const {
    std::vector<QAction*> found;
    const auto [first, last] = actions_.equal_range(commandId);
    for (auto it = first; it != last; ++it) found.push_back(it->second);
    return found;
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == PageUpdateEvent::kType) {
        const auto* update = static_cast<PageUpdateEvent*>(event);
        if (pagePane_) pagePane_->setText(QString::fromStdString(PageText(update->PageIndex(), update->PageCount())));
        return true;
    }
    return QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!isMaximized()) showMaximized();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Documents hold no data, so there is nothing to ask.
    CloseAllDocuments();
    event->accept();
}

void MainWindow::CloseAllDocuments() {
    for (const QPointer<DocumentWindow>& child : children_) {
        if (!child) continue;
        mdiArea_->removeSubWindow(child);
        child->hide();
        // Later: a view may be the caller, several frames up the stack.
        child->deleteLater();
    }
    children_.clear();
    UpdateCommandStates();
}

void MainWindow::OpenDocument(DocKind kind) {
    for (const DocumentTemplate& docTemplate : templates_) {
        if (docTemplate.kind != kind || !docTemplate.createView) continue;
        auto* document = new ViewDocument;
        QWidget* view = docTemplate.createView(*this);
        auto* child = new DocumentWindow(document, view);
        mdiArea_->addSubWindow(child);
        children_.emplace_back(child);
        child->showMaximized();
        mdiArea_->setActiveSubWindow(child);
        view->setFocus();
        break;
    }
    UpdateCommandStates();
}

void MainWindow::ShowMaximized() { showMaximized(); }

void MainWindow::PostPageUpdate(int pageIndex, int pageCount) { quenda::PostPageUpdate(this, pageIndex, pageCount); }

void MainWindow::RepaintCurrentView() { context_.RepaintCurrentView(); }

bool MainWindow::ViewHandles(int commandId) const {
    const auto* target = dynamic_cast<const CommandTarget*>(ActiveView());
    return target && target->HandlesCommand(commandId);
}

void MainWindow::RunViewCommand(int commandId) {
    if (auto* target = dynamic_cast<CommandTarget*>(ActiveView())) target->RunCommand(commandId);
}

void MainWindow::ShowAbout() {
    AboutDialog about(LoadBitmap(resources_, res::kAboutBitmap), this);
    about.exec();
}

void MainWindow::CloseMainWindow() { close(); }

void MainWindow::ReportNotAvailable(int commandId) {
    const std::string name = ToolTipOf(UiText(commandId, Resources::BuiltInString(commandId)));
    ShowMessageBox(this, QString::fromStdString(name + "\n\n" + UiText("This command is not available yet.")),
                   QMessageBox::Information);
}

}  // namespace quenda
