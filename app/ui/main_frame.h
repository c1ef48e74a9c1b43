#pragma once
// The program's main window: menu, toolbar, status bar with the model-loading progress, and the
// client pad (camera panel over the event journal on the left, the tabs of the recognized persons
// and the snapshots on the right). Create() runs the creation sequence around the program's thread
// start-up; closing the window (or PostClose from any thread) runs the stop sequence and ends the
// event loop.
// Everything but the Post* calls and the database::MainFrameSink notifications is for the
// user-interface thread only. The settings come from the program's hub, which outlives the frame;
// the frame publishes the window's own values (position, proportions, current camera) to it.

#include "app/camera/camera_work.h"
#include "app/database/main_frame_sink.h"
#include "app/recognition/recognized_list.h"
#include "app/recognition/remembered_persons.h"
#include "app/shell/frame_lifecycle.h"
#include "app/shell/journal.h"
#include "app/ui/frame_commands.h"
#include "app/ui/frame_rules.h"
#include "app/ui/settings_apply.h"
#include "app/viewport/viewport_processor.h"
#include "settings/settings_hub.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QMenu;
class QProgressBar;
class QToolButton;

namespace recognition {
class PostingRecognizedDataSink;
}

namespace snapshots {
class SnapshotDescriber;
}

namespace viewport {
class ViewportServices;
}

namespace ui {

class CameraPanelWidget;
class EventPanel;
class ModelLoadingWindow;
class RightPanel;
class SettingsSaver;
class SnapshotPage;
class SplitPane;
class StatusParts;

struct MainFrameParts {
    // Face detection for the viewport (FaceModels::DetectFaces) and the hand-over to the
    // prediction workers (PredictPool::DispatchFaces).
    viewport::ViewportProcessor::Detector detect;
    viewport::ViewportProcessor::Dispatcher dispatch;
    // Management events, actions and the snapshot panel; null: none.
    viewport::ViewportServices* services = nullptr;
    // Where the snapshot page's faces are described; null: no snapshot arrives. It must outlive
    // the frame; the frame's stop sequence stops it.
    snapshots::SnapshotDescriber* snapshots = nullptr;
    // Null: the saves go through the service channel.
    SettingsSaver* saver = nullptr;
    // The workers' result sink: pointed at the viewport while the frame exists.
    recognition::PostingRecognizedDataSink* recognizedSink = nullptr;
    // Sets hDbCheckEvent (a reload was announced).
    std::function<void()> wakeDatabaseCheck;
    // The settings sheet (40001): what was applied, nothing when it was cancelled; its saves go
    // through runSaves, which keeps the frame's events going. And the database browser (40009).
    // Empty: not available yet.
    std::function<std::optional<ApplyResult>(QWidget* owner, const SaveRunner& runSaves)> openSettings;
    std::function<void(QWidget* owner)> openDatabase;
};

class MainFrame final : public QMainWindow, public database::MainFrameSink {
public:
    // The journal gets the event panel as its sink while the frame exists; it must outlive the frame.
    MainFrame(shell::FrameLifecycle& lifecycle, shell::Journal& journal, settings::SettingsHub& hub,
              MainFrameParts parts = {});
    ~MainFrame() override;

    // The creation sequence; false when a window or a thread could not be made (the stop
    // sequence has then already run). Shows the window on success.
    bool Create();

    // Any thread: an orderly shutdown request (the service watchdog's), handled like closing
    // the window.
    void PostClose();

    // database::MainFrameSink, for the database check thread: each is queued to this thread.
    void PassStarted(int rememberedPersons) override;
    void PersonsTotal(int total) override;
    void PersonsProgress(int done, int total) override;
    void ApplyingChanges() override;
    void ModelCount(int models) override;
    void ModelLoadingDone() override;
    void ReloadModels() override;
    // Any thread: the database state the journal received last.
    shell::DatabaseState JournalDatabaseState() const override;

    void RefreshToolbar();
    bool Destroyed() const { return destroyed_; }

    // For tests and the later panels.
    CameraPanelWidget* CameraPanel() const { return cameraPanel_; }
    EventPanel* Events() const { return events_; }
    ui::RightPanel* RightPanel() const { return rightPanel_; }
    SnapshotPage* Snapshots() const { return snapshotPage_; }
    ModelLoadingWindow* LoadingWindow() const { return loadingWindow_.get(); }
    StatusParts* Status() const { return status_; }
    QProgressBar* Progress() const { return progress_; }
    SplitPane* Pad() const { return pad_; }
    SplitPane* LeftPanel() const { return leftPanel_; }
    QAction* Action(int command) const;
    QToolButton* ChooseCameraButton() const { return chooseCamera_; }
    QMenu* CameraMenu() const { return cameraMenu_; }
    recognition::RecognizedPersonsList& RecognizedList() { return recognizedList_; }
    const ModelLoadingState& ModelLoading() const { return modelLoading_; }

    // A camera picked from the choice menu (command 41000 + index).
    void ChooseCamera(int index);
    // What applied settings do to the current camera: a changed list may rename, move, restart
    // or lose it.
    void SettingsApplied(const ApplyResult& applied);
    void OnCommand(int command);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    bool CreateMenu();
    bool CreateToolbar();
    bool CreateStatusBar();
    bool CreatePad();
    void PlaceWindow();
    void PostCommand(int command);
    void PopulateCameraMenu();
    void SelectSavedCamera();
    // Saves and makes `index` the current camera (-1: none) after stopping the running one.
    void MakeCameraCurrent(int index);
    void BringToForeground();
    // Runs change on this thread, then shows the model-loading state.
    template <typename Change>
    void PostModelLoading(Change change);
    void FinishModelLoading();
    void ShowModelLoading();
    void SaveWindowPosIfChanged();
    // The settings sheet's saves: a close that arrives meanwhile waits until they have ended.
    void RunSettingsSaves(const std::function<void()>& saves);
    void Destroy();
    bool TakeSnapshotRequest();
    // The entry is about to be removed from the list: no subject keeps pointing at it.

    shell::FrameLifecycle& lifecycle_;
    shell::Journal& journal_;
    settings::SettingsHub& hub_;
    MainFrameParts parts_;
    SettingsSaver& saver_;
    recognition::RememberedPersons remembered_;
    recognition::RecognizedPersonsList recognizedList_;
    ModelLoadingState modelLoading_;

    std::map<int, QAction*> actions_;
    QToolButton* chooseCamera_ = nullptr;
    QMenu* cameraMenu_ = nullptr;
    StatusParts* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    SplitPane* pad_ = nullptr;
    SplitPane* leftPanel_ = nullptr;
    CameraPanelWidget* cameraPanel_ = nullptr;
    EventPanel* events_ = nullptr;
    ui::RightPanel* rightPanel_ = nullptr;
    SnapshotPage* snapshotPage_ = nullptr;
    // The camera commands, reporting to cameraPanel_; made with it.
    std::unique_ptr<camera::CameraControl> camera_;
    // A window of its own, with no parent: the frame owns it.
    std::unique_ptr<ModelLoadingWindow> loadingWindow_;

    QTimer windowPosTimer_;
    bool created_ = false;
    bool destroyed_ = false;
    bool snapshotPending_ = false;
    bool savingSettings_ = false;
    bool closeDeferred_ = false;
};

}  // namespace ui
