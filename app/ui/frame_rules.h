#pragma once
// The main frame's layout and state rules without a display: viewport placement, window
// position checks, splitter drags, toolbar state, camera choice and the model-loading texts.
// The widgets ask these and only apply the answers.

#include "settings/groups.h"

#include <QRect>
#include <QString>

#include <array>

namespace ui {

// ---- camera viewport -------------------------------------------------------------------

// Where the picture window sits inside the viewport and at what size it shows the frame.
struct ViewportPlacement {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    friend bool operator==(const ViewportPlacement&, const ViewportPlacement&) = default;
};

// The frame is shrunk to fit the client area with its aspect kept and never enlarged; it is
// centred. Zero placement while either size is unknown.
ViewportPlacement PlaceViewportPicture(int clientWidth, int clientHeight, int frameColumns, int frameRows);

// ---- main frame ------------------------------------------------------------------------

constexpr settings::WindowPos kDefaultWindowPos{10, 10, 850, 650};

// The stored position unless it starts left of or above the virtual screen, or would reach
// beyond both its right and its bottom edge; then the default position and size.
settings::WindowPos CheckedWindowPos(const settings::WindowPos& stored, const QRect& virtualScreen);

// Ends of the three status-bar parts for a bar `width` wide: width - first, width - second, width.
std::array<int, 3> StatusPartEnds(int width, int first, int second);
// Main frame: parts ending at width - 460, width - 150 and the right edge.
inline std::array<int, 3> FrameStatusPartEnds(int width) { return StatusPartEnds(width, 460, 150); }
// Camera panel: width - 144, width - 96 and the right edge.
inline std::array<int, 3> CameraStatusPartEnds(int width) { return StatusPartEnds(width, 144, 96); }

// The progress bar inside the frame's status bar: 180 pixels after part 0, vertically centred.
QRect ProgressBarRect(int statusBarWidth, int statusBarHeight);

// The connecting animation in the camera panel's bar: 78 x 7, centred, or at 40 in a panel
// narrower than 158.
QRect ConnectingAnimationRect(int panelWidth, int barHeight);

// ---- splitters -------------------------------------------------------------------------

constexpr double kMinDivProportion = 0.3;
constexpr double kMaxDivProportion = 0.7;
constexpr int kSplitterBand = 5;

double ClampDivProportion(double proportion);

// One side of a split of `extent` pixels: the first panel ends 2 pixels before the split
// point, the 5-pixel band follows, the second panel starts 3 pixels after it.
struct SplitLayout {
    int firstLength = 0;
    int bandStart = 0;
    int secondStart = 0;
};
SplitLayout SplitAt(int extent, double proportion);

// A drag of a splitter band: the proportion follows the mouse, kept within 0.3..0.7; it is
// saved at the end of the drag only when it changed.
class SplitterDrag {
public:
    explicit SplitterDrag(double proportion) : proportion_(ClampDivProportion(proportion)) {}

    double Proportion() const { return proportion_; }
    bool Dragging() const { return dragging_; }

    // Mouse pressed at `position` (along the split axis) inside the band starting at bandStart.
    void Press(int position, int bandStart);
    // True when the proportion changed (lay out again).
    bool Move(int position, int extent);
    // The end of a drag (release, or the application lost activation): true when the
    // proportion differs from the one at the press and has to be saved.
    bool Finish();
    // Outside a drag: a proportion set from elsewhere.
    void Set(double proportion) { proportion_ = ClampDivProportion(proportion); }

private:
    double proportion_;
    double proportionAtPress_ = 0;
    int pressPosition_ = 0;
    int grabOffset_ = 0;
    bool dragging_ = false;
};

// ---- toolbar and menu ------------------------------------------------------------------

struct ToolbarInputs {
    int cameraCount = 0;
    bool cameraRunning = false;
    bool cameraCurrent = false;
    bool databaseConfigured = false;
    bool snapshotPending = false;
    bool framedFace = false;
};

enum class SnapshotButton { Disabled, Enabled, Pressed };

struct ToolbarState {
    bool chooseCamera = false;
    bool start = false;
    bool stop = false;
    bool database = false;
    SnapshotButton snapshot = SnapshotButton::Disabled;
    bool framedFaceChecked = false;
    friend bool operator==(const ToolbarState&, const ToolbarState&) = default;
};

ToolbarState ComputeToolbarState(const ToolbarInputs& in);

// ---- camera choice menu ----------------------------------------------------------------

struct CameraChoice {
    enum Kind { Nothing, Select, Deselect };
    Kind kind = Nothing;
    int index = -1;
    bool restart = false;  // a camera ran: start the new one
};

// The camera picked from the choice menu (command 41000 + index), against the current one.
CameraChoice DecideCameraChoice(int currentIndex, int chosenIndex, int cameraCount, bool cameraRunning);

// Whether the management server runs; while it does it reports its session count.
enum class ManagementServer { Stopped, Running };

// The camera panel's management-connections text: "%d", with " (MAX)" beyond 7; none while the
// server is stopped.
QString ConnectionsText(ManagementServer server, int sessions);

// ---- model loading ---------------------------------------------------------------------

inline const QString kModelLoadingInitialText = QStringLiteral("Загрузка моделей. Ожидайте...");

// What the status bar, its progress bar and the model-loading window show while the database
// check thread (re)builds the working model set.
struct ModelLoadingView {
    QString modelsText;    // status part 2
    QString progressText;  // status part 1
    bool progressVisible = false;
    int progressMaximum = 0;
    int progressValue = 0;
    bool windowVisible = true;  // visible from its creation at start-up
    QString windowText = kModelLoadingInitialText;
};

class ModelLoadingState {
public:
    void ModelCount(int count);
    void ReloadAnnounced();      // the window is shown again
    void PassStarted(int mode);  // 0 loading, otherwise actualizing
    void PersonsTotal(int total);
    void Progress(int done, int total);
    void ApplyingChanges();
    // The end of a load; true when the window was visible (it is hidden now).
    bool LoadDone();
    void WindowClosed() { view_.windowVisible = false; }

    const ModelLoadingView& View() const { return view_; }

private:
    ModelLoadingView view_;
    int mode_ = 0;
};

// At the end of a load that had the loading window visible, the current camera starts by itself
// when so configured and not already running.
bool ShouldAutoStartCamera(bool windowWasVisible, bool cameraCurrent, bool cameraRunning, bool autoStartLastCamera);

}  // namespace ui
