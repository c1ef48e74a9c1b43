#include "app/ui/main_frame.h"

#include "app/camera/camera_work.h"
#include "app/recognition/recognized_data_event.h"
#include "app/shell/journal.h"
#include "app/snapshots/snapshot_texts.h"
#include "app/ui/camera_panel.h"
#include "app/ui/event_panel.h"
#include "app/ui/icons.h"
#include "app/ui/operator_boxes.h"
#include "app/ui/pumped_call.h"
#include "app/ui/queued_call.h"
#include "app/ui/recognized_page.h"
#include "app/ui/right_panel.h"
#include "app/ui/settings_saver.h"
#include "app/ui/snapshot_page.h"
#include "app/ui/splash_windows.h"
#include "app/ui/split_pane.h"
#include "app/ui/status_parts.h"
#include "app/ui/window_title.h"
#include "platform/contract.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/settings_state.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QToolButton>

#include <chrono>

namespace ui {

namespace {

struct MenuCommand {
    int command;
    const char16_t* text;
};

// The main menu: each top-level menu with its commands; 0 is a separator.
struct MenuColumn {
    const char16_t* title;
    std::vector<MenuCommand> commands;
};

const std::vector<MenuColumn>& MainMenu() {
    static const std::vector<MenuColumn> menu = {
        {u"&Файл", {{kCmdSettings, u"&Настройки..."}, {0, nullptr}, {kCmdExit, u"&Выход\tAlt+F4"}}},
        {u"&Камера",
         {{kCmdStart, u"Стар&т"},
          {kCmdStop, u"Сто&п"},
          {0, nullptr},
          {kCmdFramedFace, u"&Обрамление лиц"},
          {kCmdSnapshot, u"&Снимок"}}},
        {u"&База данных", {{kCmdDatabase, u"&Смотреть/редактировать"}}},
        {u"&Справка", {{kCmdAbout, u"&О программе..."}}},
    };
    return menu;
}

// Tool tips and menu help of the commands.
QString CommandTip(int command) {
    switch (command) {
    case kCmdSettings:
        return QStringLiteral("Настройки программы...");
    case kCmdChooseCamera:
        return QStringLiteral("Выбор текущей камеры...");
    case kCmdStart:
        return QStringLiteral("Старт");
    case kCmdStop:
        return QStringLiteral("Стоп");
    case kCmdFramedFace:
        return QStringLiteral("Обрамление лиц");
    case kCmdDatabase:
        return QStringLiteral("Смотреть/редактировать информацию в БД...");
    case kCmdSnapshot:
        return QStringLiteral("Снимок лиц на камере");
    default:
        return {};
    }
}

struct ToolbarButton {
    int command;
    const char16_t* text;
    int image;
};

constexpr ToolbarButton kToolbarButtons[] = {
    {kCmdChooseCamera, u"Камера...", 2},
    {kCmdStart, u"Старт", 0},
    {kCmdStop, u"Стоп", 1},
    {kCmdSnapshot, u"Снимок", 5},
    {kCmdDatabase, u"База данных...", 4},
    {kCmdSettings, u"Настройки...", 3},
};

bool CameraIndexValid(const settings::CameraList& list, int index) {
    return index >= 0 && index < int(list.Count) && index < settings::kMaxCameras && list.Cameras[index].InUse != 0;
}

bool CameraIndexValid(const settings::SettingsState& s, int index) { return CameraIndexValid(s.cameraList, index); }

bool SameWindowPos(const settings::WindowPos& a, const settings::WindowPos& b) {
    return a.ScreenX == b.ScreenX && a.ScreenY == b.ScreenY && a.Width == b.Width && a.Height == b.Height;
}

}  // namespace

MainFrame::MainFrame(shell::FrameLifecycle& lifecycle, shell::Journal& journal, settings::SettingsHub& hub,
                     MainFrameParts parts)
    : lifecycle_(lifecycle),
      journal_(journal),
      hub_(hub),
      parts_(std::move(parts)),
      saver_(parts_.saver != nullptr ? *parts_.saver : ChannelSettingsSaver()) {
    setObjectName(QStringLiteral("Vektra:OSTROVID_V2:FRAME"));
    setWindowTitle(MainWindowTitle(PresentationFromEnvironment()));
    setWindowIcon(ToolbarIcon(2));
    setMinimumSize(800, 600);
    // A move is saved once it has come to rest.
    windowPosTimer_.setSingleShot(true);
    windowPosTimer_.setInterval(std::chrono::milliseconds(300));
    QObject::connect(&windowPosTimer_, &QTimer::timeout, this, [this] { SaveWindowPosIfChanged(); });
}

MainFrame::~MainFrame() {
    if (events_ != nullptr) journal_.Attach(nullptr);
    if (parts_.recognizedSink != nullptr) parts_.recognizedSink->SetReceiver(nullptr);
}

QAction* MainFrame::Action(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void MainFrame::PostClose() {
    PostCall(this, [this] { close(); });
}

template <typename Change>
void MainFrame::PostModelLoading(Change change) {
    PostCall(this, [this, change] {
        change(modelLoading_);
        ShowModelLoading();
    });
}

void MainFrame::PassStarted(int rememberedPersons) {
    PostModelLoading([rememberedPersons](ModelLoadingState& s) { s.PassStarted(rememberedPersons); });
}

void MainFrame::PersonsTotal(int total) {
    PostModelLoading([total](ModelLoadingState& s) { s.PersonsTotal(total); });
}

void MainFrame::PersonsProgress(int done, int total) {
    PostModelLoading([done, total](ModelLoadingState& s) { s.Progress(done, total); });
}

void MainFrame::ApplyingChanges() {
    PostModelLoading([](ModelLoadingState& s) { s.ApplyingChanges(); });
}

void MainFrame::ModelCount(int models) {
    PostModelLoading([models](ModelLoadingState& s) { s.ModelCount(models); });
}

void MainFrame::ReloadModels() {
    PostModelLoading([this](ModelLoadingState& s) {
        s.ReloadAnnounced();
        if (parts_.wakeDatabaseCheck) parts_.wakeDatabaseCheck();
    });
}

void MainFrame::ModelLoadingDone() {
    PostCall(this, [this] { FinishModelLoading(); });
}

shell::DatabaseState MainFrame::JournalDatabaseState() const {
    return events_ != nullptr ? events_->DatabaseState() : shell::DatabaseState::Unknown;
}

void MainFrame::PlaceWindow() {
    const settings::SettingsSnapshot s = hub_.Snapshot();
    const settings::WindowPos stored = s->windowPos;
    const bool maximized = s->Maximized != 0;
    QRect screen(0, 0, 1024, 768);
    if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->virtualGeometry();
    const settings::WindowPos pos = CheckedWindowPos(stored, screen);
    move(pos.ScreenX, pos.ScreenY);
    resize(pos.Width, pos.Height);
    if (maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

bool MainFrame::Create() {
    PlaceWindow();
    if (!CreateMenu() || !CreateToolbar() || !CreateStatusBar()) return false;
    ModelCount(0);
    if (!CreatePad()) return false;
    journal_.Attach(events_);
    if (parts_.recognizedSink != nullptr) parts_.recognizedSink->SetReceiver(&cameraPanel_->Viewport()->Live());

    if (!lifecycle_.StartServiceThreads()) {
        Destroy();
        return false;
    }
    loadingWindow_ = std::make_unique<ModelLoadingWindow>();
    loadingWindow_->onClosed = [this] { modelLoading_.WindowClosed(); };
    loadingWindow_->show();
    if (!lifecycle_.StartDataThreads()) {
        Destroy();
        return false;
    }
    created_ = true;
    PostCall(this, [this] { SelectSavedCamera(); });
    show();
    return true;
}

bool MainFrame::CreateMenu() {
    QMenuBar* bar = menuBar();
    for (const MenuColumn& column : MainMenu()) {
        QMenu* menu = bar->addMenu(QString::fromUtf16(column.title));
        for (const MenuCommand& item : column.commands) {
            if (item.command == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf16(item.text));
            action->setData(item.command);
            action->setStatusTip(CommandTip(item.command));
            actions_[item.command] = action;
            const int command = item.command;
            QObject::connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
        }
    }
    actions_[kCmdFramedFace]->setCheckable(true);
    actions_[kCmdSnapshot]->setCheckable(true);
    return true;
}

bool MainFrame::CreateToolbar() {
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("MainToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setIconSize(QSize(48, 48));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->toggleViewAction()->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, toolbar);

    cameraMenu_ = new QMenu(this);
    cameraMenu_->setObjectName(QStringLiteral("CameraChoiceMenu"));
    QObject::connect(cameraMenu_, &QMenu::aboutToShow, this, [this] { PopulateCameraMenu(); });

    bool first = true;
    for (const ToolbarButton& b : kToolbarButtons) {
        if (!first) toolbar->addSeparator();
        first = false;
        auto* button = new QToolButton(toolbar);
        button->setObjectName(QString::number(b.command));
        button->setText(QString::fromUtf16(b.text));
        button->setIcon(ToolbarIcon(b.image));
        button->setToolTip(CommandTip(b.command));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        toolbar->addWidget(button);
        const int command = b.command;
        if (command == kCmdChooseCamera) {
            chooseCamera_ = button;
            button->setMenu(cameraMenu_);
            button->setPopupMode(QToolButton::MenuButtonPopup);
            QObject::connect(button, &QToolButton::clicked, this, [this] { OnCommand(kCmdChooseCamera); });
            continue;
        }
        if (command == kCmdSnapshot) button->setCheckable(true);
        QObject::connect(button, &QToolButton::clicked, this, [this, command] { OnCommand(command); });
    }
    return true;
}

bool MainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    status_ = new StatusParts(&FrameStatusPartEnds, bar);
    bar->addWidget(status_, 1);
    progress_ = new QProgressBar(status_);
    progress_->setTextVisible(false);
    progress_->hide();
    status_->installEventFilter(this);
    return true;
}

bool MainFrame::CreatePad() {
    const settings::SettingsSnapshot stored = hub_.Snapshot();
    const double panelDiv = stored->PanelDivProportion;
    const double leftDiv = stored->LeftPanelDivProportion;
    auto saveProportion = [this](double settings::SettingsState::*field, bool (SettingsSaver::*save)(double),
                                 SettingsSaver& saver) {
        return [this, field, save, &saver](double proportion) {
            hub_.Update([field, proportion](settings::SettingsState& s) { s.*field = proportion; });
            (saver.*save)(proportion);
        };
    };
    pad_ = new SplitPane(
        Qt::Horizontal, panelDiv,
        saveProportion(&settings::SettingsState::PanelDivProportion, &SettingsSaver::SavePanelDivProportion, saver_),
        this);
    pad_->setObjectName(QStringLiteral("Vektra:OSTROVID_V2:PAD"));
    leftPanel_ = new SplitPane(Qt::Vertical, leftDiv,
                               saveProportion(&settings::SettingsState::LeftPanelDivProportion,
                                              &SettingsSaver::SaveLeftPanelDivProportion, saver_),
                               pad_);
    leftPanel_->setObjectName(QStringLiteral("Vektra:OSTROVID_V2:LEFT:PANEL"));

    CameraPanelContext context;
    context.detect = parts_.detect;
    context.dispatch = parts_.dispatch;
    context.services = parts_.services;
    context.remembered = &remembered_;
    context.list = &recognizedList_;
    context.saver = &saver_;
    context.refreshToolbar = [this] { RefreshToolbar(); };
    context.takeSnapshotRequest = [this] { return TakeSnapshotRequest(); };
    context.clearSnapshotRequest = [this] { snapshotPending_ = false; };
    context.listEntryAdded = [this] {
        if (rightPanel_ == nullptr) return;
        rightPanel_->Recognized()->Refresh();
        rightPanel_->RecognizedArrived(true);
    };
    context.listChanged = [this] {
        if (rightPanel_ != nullptr) rightPanel_->Recognized()->Redraw();
    };
    cameraPanel_ = new CameraPanelWidget(journal_, hub_, std::move(context), leftPanel_);
    camera_ = std::make_unique<camera::CameraControl>(*cameraPanel_, journal_, hub_);
    events_ = new EventPanel(cameraPanel_, leftPanel_);
    leftPanel_->SetPanels(cameraPanel_, events_);
    snapshotPage_ = new SnapshotPage(parts_.snapshots, journal_, hub_);
    rightPanel_ = new ui::RightPanel(recognizedList_, remembered_, hub_, snapshotPage_, pad_);
    snapshotPage_->onSnapshotsArrived = [this] { rightPanel_->SnapshotsArrived(true); };
    snapshotPage_->onInput = [this] { rightPanel_->SnapshotsArrived(false); };
    pad_->SetPanels(leftPanel_, rightPanel_);
    setCentralWidget(pad_);
    pad_->setFocus();
    return true;
}

bool MainFrame::TakeSnapshotRequest() {
    if (!snapshotPending_) return false;
    snapshotPending_ = false;
    RefreshToolbar();
    return true;
}

void MainFrame::RefreshToolbar() {
    ToolbarInputs in;
    {
        const settings::SettingsSnapshot s = hub_.Snapshot();
        in.cameraCount = int(s->cameraList.Count);
        in.cameraCurrent = CameraIndexValid(*s, s->CurrentCameraIndex);
        in.databaseConfigured = s->DbConnectionString[0] != 0;
        in.framedFace = s->viewFeatures.FramedFace != 0;
    }
    in.cameraRunning = camera::CameraThreadExists();
    in.snapshotPending = snapshotPending_;
    const ToolbarState state = ComputeToolbarState(in);

    auto apply = [this](int command, bool enabled, bool checked) {
        if (QAction* action = Action(command)) {
            action->setEnabled(enabled);
            if (action->isCheckable()) action->setChecked(checked);
        }
        if (auto* button = findChild<QToolButton*>(QString::number(command))) {
            button->setEnabled(enabled);
            if (button->isCheckable()) button->setChecked(checked);
        }
    };
    apply(kCmdChooseCamera, state.chooseCamera, false);
    apply(kCmdStart, state.start, false);
    apply(kCmdStop, state.stop, false);
    apply(kCmdDatabase, state.database, false);
    apply(kCmdSnapshot, state.snapshot != SnapshotButton::Disabled, state.snapshot == SnapshotButton::Pressed);
    if (QAction* framed = Action(kCmdFramedFace)) framed->setChecked(state.framedFaceChecked);
    if (cameraPanel_ != nullptr) cameraPanel_->SetFramedFaceChecked(state.framedFaceChecked);
}

void MainFrame::PostCommand(int command) {
    QMetaObject::invokeMethod(
        this, [this, command] { OnCommand(command); }, Qt::QueuedConnection);
}

void MainFrame::OnCommand(int command) {
    if (command >= kCmdCameraFirst && command < kCmdCameraFirst + settings::kMaxCameras) {
        ChooseCamera(command - kCmdCameraFirst);
        return;
    }
    switch (command) {
    case kCmdSettings:
        if (parts_.openSettings) {
            const std::optional<ApplyResult> applied =
                parts_.openSettings(this, [this](const std::function<void()>& saves) { RunSettingsSaves(saves); });
            if (applied && !destroyed_) SettingsApplied(*applied);
        }
        RefreshToolbar();
        if (closeDeferred_) close();
        break;
    case kCmdAbout: {
        AboutBox about(this);
        about.exec();
        break;
    }
    case kCmdExit:
        close();
        break;
    case kCmdStart:
        camera_->StartCamera();
        RefreshToolbar();
        break;
    case kCmdStop:
        camera_->StopCamera(false);
        RefreshToolbar();
        break;
    case kCmdFramedFace:
        cameraPanel_->ToggleFramedFace();
        break;
    case kCmdSnapshot:
        if (!camera::CameraThreadExists()) break;
        if (snapshotPage_->AcceptsSnapshot()) {
            snapshotPending_ = true;
        } else {
            OperatorBoxes(this).ShowNotice(snapshots::SnapshotsFullNotice(), database::NoticeIcon::Warning);
        }
        RefreshToolbar();
        break;
    case kCmdDatabase:
        if (parts_.openDatabase) parts_.openDatabase(this);
        break;
    case kCmdChooseCamera: {
        const int count = int(hub_.Get(&settings::SettingsState::cameraList)->Count);
        if (count > 0 && chooseCamera_ != nullptr) chooseCamera_->showMenu();
        break;
    }
    default:
        break;
    }
}

void MainFrame::PopulateCameraMenu() {
    cameraMenu_->clear();
    auto* group = new QActionGroup(cameraMenu_);
    group->setExclusive(true);
    const settings::SettingsSnapshot snapshot = hub_.Snapshot();
    const settings::SettingsState& s = *snapshot;
    const int count = std::min(int(s.cameraList.Count), settings::kMaxCameras);
    for (int i = 0; i < count; ++i) {
        QAction* action = cameraMenu_->addAction(platform::FromFixed(s.cameraList.Cameras[i].Name));
        action->setData(kCmdCameraFirst + i);
        action->setCheckable(true);
        action->setChecked(i == s.CurrentCameraIndex);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, this, [this, i] { PostCommand(kCmdCameraFirst + i); });
    }
}

void MainFrame::ChooseCamera(int index) {
    const settings::SettingsSnapshot s = hub_.Snapshot();
    const CameraChoice choice =
        DecideCameraChoice(s->CurrentCameraIndex, index, int(s->cameraList.Count), camera::CameraThreadExists());
    if (choice.kind == CameraChoice::Nothing) return;
    MakeCameraCurrent(choice.kind == CameraChoice::Select ? choice.index : -1);
    RefreshToolbar();
    if (choice.restart) PostCommand(kCmdStart);
}

void MainFrame::MakeCameraCurrent(int index) {
    saver_.SaveCurrentCameraIndex(index);
    camera_->StopCamera(false);
    QString name;
    hub_.Update([index, &name](settings::SettingsState& s) {
        s.CurrentCameraIndex = index;
        if (index >= 0) name = platform::FromFixed(s.cameraList.Cameras[index].Name);
    });
    cameraPanel_->SetTitle(name);
    if (index < 0) cameraPanel_->ShowNoCamera();
}

void MainFrame::SettingsApplied(const ApplyResult& applied) {
    OSTROVID_ASSERT(created_, "settings are applied to a created frame");
    const int previous = applied.previousCameraIndex;
    const bool chosen = CameraIndexValid(applied.previousCameras, previous);
    const std::shared_ptr<const settings::CameraList> newList = hub_.Get(&settings::SettingsState::cameraList);
    const bool running = camera::CameraThreadExists();
    const CameraDecision decision = DecideCurrentCamera(
        applied.plan, chosen ? applied.previousCameras.Cameras[previous] : settings::CameraDescriptor{},
        chosen ? previous : -1, running, *newList);
    switch (decision.outcome) {
    case CameraOutcome::Unaffected:
        break;
    case CameraOutcome::Deselect:
        MakeCameraCurrent(-1);
        break;
    case CameraOutcome::FoundIdle:
        if (decision.indexMoved) {
            hub_.Update([&decision](settings::SettingsState& s) { s.CurrentCameraIndex = decision.index; });
            saver_.SaveCurrentCameraIndex(decision.index);
        }
        cameraPanel_->SetTitle(decision.name);
        break;
    case CameraOutcome::FoundRunning:
        MakeCameraCurrent(-1);
        MakeCameraCurrent(decision.index);
        PostCommand(kCmdStart);
        break;
    case CameraOutcome::Lost:
        MakeCameraCurrent(-1);
        if (decision.index >= 0) {
            MakeCameraCurrent(decision.index);
            if (running) PostCommand(kCmdStart);
        }
        break;
    }
    RefreshToolbar();
}

void MainFrame::SelectSavedCamera() {
    QString name;
    bool selected = false;
    {
        const settings::SettingsSnapshot s = hub_.Snapshot();
        if (CameraIndexValid(*s, s->CurrentCameraIndex)) {
            selected = true;
            name = platform::FromFixed(s->cameraList.Cameras[s->CurrentCameraIndex].Name);
        }
    }
    cameraPanel_->SetTitle(name);
    if (!selected) cameraPanel_->ShowNoCamera();
    RefreshToolbar();
    BringToForeground();
}

void MainFrame::BringToForeground() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void MainFrame::FinishModelLoading() {
    const bool wasVisible = modelLoading_.LoadDone();
    ShowModelLoading();
    const settings::SettingsSnapshot s = hub_.Snapshot();
    const bool current = CameraIndexValid(*s, s->CurrentCameraIndex);
    const bool autoStart = s->camerasExt.AutoStartLastCamera != 0;
    if (ShouldAutoStartCamera(wasVisible, current, camera::CameraThreadExists(), autoStart)) PostCommand(kCmdStart);
}

void MainFrame::ShowModelLoading() {
    const ModelLoadingView& view = modelLoading_.View();
    status_->SetText(1, view.progressText);
    status_->SetText(2, view.modelsText);
    progress_->setRange(0, view.progressMaximum);
    progress_->setValue(view.progressValue);
    progress_->setVisible(view.progressVisible);
    if (loadingWindow_ == nullptr) return;
    loadingWindow_->SetText(view.windowText);
    if (view.windowVisible && loadingWindow_->isHidden()) loadingWindow_->show();
    if (!view.windowVisible && !loadingWindow_->isHidden()) loadingWindow_->hide();
}

bool MainFrame::eventFilter(QObject* watched, QEvent* e) {
    if (watched == status_ && e->type() == QEvent::Resize) {
        progress_->setGeometry(ProgressBarRect(status_->width(), status_->height()));
    }
    return QMainWindow::eventFilter(watched, e);
}

void MainFrame::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    if (created_ && !destroyed_) windowPosTimer_.start();
}

void MainFrame::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (created_ && !destroyed_) windowPosTimer_.start();
}

void MainFrame::SaveWindowPosIfChanged() {
    if (isMaximized() || isMinimized() || isFullScreen() || destroyed_) return;
    const settings::WindowPos now{x(), y(), width(), height()};
    // This thread alone changes the window's values: nothing comes between the look and the update.
    if (SameWindowPos(*hub_.Get(&settings::SettingsState::windowPos), now)) return;
    hub_.Update([&now](settings::SettingsState& s) { s.windowPos = now; });
    saver_.SaveWindowPos(now);
}

void MainFrame::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !created_ || destroyed_) return;
    const int32_t maximized = isMaximized() ? 1 : 0;
    if (hub_.Snapshot()->Maximized == maximized) return;
    hub_.Update([maximized](settings::SettingsState& s) { s.Maximized = maximized; });
    saver_.SaveMaximized(maximized);
}

void MainFrame::RunSettingsSaves(const std::function<void()>& saves) {
    savingSettings_ = true;
    RunHandlingEvents(saves);
    savingSettings_ = false;
}

void MainFrame::closeEvent(QCloseEvent* e) {
    // The stop sequence would stop the servers that the saves' publish may restart after it.
    if (savingSettings_) {
        closeDeferred_ = true;
        e->ignore();
        return;
    }
    Destroy();
    e->accept();
}

void MainFrame::Destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    windowPosTimer_.stop();
    WriteLog(QStringLiteral("Destroy Enter."));
    loadingWindow_.reset();
    lifecycle_.SignalTermination();
    if (camera_ != nullptr) camera_->StopCamera(true);
    if (parts_.snapshots != nullptr) parts_.snapshots->Stop();
    lifecycle_.StopThreads();
    // Outside a running loop (a failed creation) there is nothing to end, and a pending quit
    // would end the next loop at once.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
    WriteLog(QStringLiteral("Destroy Exit."));
}

}  // namespace ui
