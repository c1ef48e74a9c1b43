#include "app/ui/frame_rules.h"

#include <algorithm>

namespace ui {

ViewportPlacement PlaceViewportPicture(int clientWidth, int clientHeight, int frameColumns, int frameRows) {
    if (clientWidth <= 0 || clientHeight <= 0 || frameColumns <= 0 || frameRows <= 0) return {};
    const double aspect = double(frameColumns) / double(frameRows);
    ViewportPlacement p;
    if (frameColumns > clientWidth || frameRows > clientHeight) {
        if (aspect >= double(clientWidth) / double(clientHeight)) {
            p.width = std::min(frameColumns, clientWidth);
            p.height = int(double(p.width) / aspect + 0.5);
        } else {
            p.height = std::min(frameRows, clientHeight);
            p.width = int(double(p.height) * aspect + 0.5);
        }
    } else {
        p.width = frameColumns;
        p.height = frameRows;
    }
    p.x = clientWidth / 2 - p.width / 2 - 1;
    p.y = clientHeight / 2 - p.height / 2 - 1;
    return p;
}

settings::WindowPos CheckedWindowPos(const settings::WindowPos& stored, const QRect& virtualScreen) {
    const int64_t right = int64_t(stored.ScreenX) + stored.Width;
    const int64_t bottom = int64_t(stored.ScreenY) + stored.Height;
    const int64_t screenRight = int64_t(virtualScreen.x()) + virtualScreen.width();
    const int64_t screenBottom = int64_t(virtualScreen.y()) + virtualScreen.height();
    const bool outsideLeftTop = stored.ScreenX < virtualScreen.x() || stored.ScreenY < virtualScreen.y();
    const bool beyondRightAndBottom = right > screenRight && bottom > screenBottom;
    if (outsideLeftTop || beyondRightAndBottom) return kDefaultWindowPos;
    return stored;
}

std::array<int, 3> StatusPartEnds(int width, int first, int second) { return {width - first, width - second, width}; }

QRect ProgressBarRect(int statusBarWidth, int statusBarHeight) {
    return {FrameStatusPartEnds(statusBarWidth)[0] + 180, statusBarHeight / 2 - 3, 120, 9};
}

QRect ConnectingAnimationRect(int panelWidth, int barHeight) {
    const int x = panelWidth < 158 ? 40 : panelWidth / 2 - 39;
    return {x, (barHeight - 7) / 2, 78, 7};
}

double ClampDivProportion(double proportion) {
    // A damaged store value (NaN) must not freeze a panel at zero width.
    if (!(proportion == proportion)) return kMinDivProportion;
    return std::clamp(proportion, kMinDivProportion, kMaxDivProportion);
}

SplitLayout SplitAt(int extent, double proportion) {
    const int split = int(double(extent) * proportion);
    return {std::max(0, split - 2), split - 2, split + 3};
}

void SplitterDrag::Press(int position, int bandStart) {
    dragging_ = true;
    pressPosition_ = position;
    grabOffset_ = position - bandStart;
    proportionAtPress_ = proportion_;
}

bool SplitterDrag::Move(int position, int extent) {
    // A press without a move leaves the proportion exactly as it was.
    if (!dragging_ || position == pressPosition_ || extent <= kSplitterBand) return false;
    const double next = ClampDivProportion(double(position - grabOffset_) / double(extent - kSplitterBand));
    if (next == proportion_) return false;
    proportion_ = next;
    return true;
}

bool SplitterDrag::Finish() {
    if (!dragging_) return false;
    dragging_ = false;
    return proportion_ != proportionAtPress_;
}

ToolbarState ComputeToolbarState(const ToolbarInputs& in) {
    ToolbarState s;
    s.chooseCamera = in.cameraCount > 0;
    s.stop = in.cameraRunning;
    s.start = !in.cameraRunning && in.cameraCurrent;
    s.database = in.databaseConfigured;
    if (!in.cameraRunning) {
        s.snapshot = SnapshotButton::Disabled;
    } else {
        s.snapshot = in.snapshotPending ? SnapshotButton::Pressed : SnapshotButton::Enabled;
    }
    s.framedFaceChecked = in.framedFace;
    return s;
}

CameraChoice DecideCameraChoice(int currentIndex, int chosenIndex, int cameraCount, bool cameraRunning) {
    const int count = std::min(cameraCount, settings::kMaxCameras);
    const bool chosenValid = chosenIndex >= 0 && chosenIndex < count;
    if (chosenValid) {
        if (chosenIndex == currentIndex) return {};
        return {CameraChoice::Select, chosenIndex, cameraRunning};
    }
    if (currentIndex != -1) return {CameraChoice::Deselect, -1, false};
    return {};
}

QString ConnectionsText(ManagementServer server, int sessions) {
    if (server == ManagementServer::Stopped) return {};
    QString text = QString::asprintf("%d", sessions);
    if (sessions > 7) text += QStringLiteral(" (MAX)");
    return text;
}

void ModelLoadingState::ModelCount(int count) { view_.modelsText = QString::asprintf("Моделей: %d", count); }

void ModelLoadingState::ReloadAnnounced() { view_.windowVisible = true; }

void ModelLoadingState::PassStarted(int mode) {
    mode_ = mode;
    view_.progressText = mode == 0 ? QStringLiteral("Загрузка моделей") : QStringLiteral("Актуализация моделей");
}

void ModelLoadingState::PersonsTotal(int total) {
    view_.progressMaximum = std::max(0, total);
    view_.progressValue = 0;
    view_.progressVisible = true;
}

void ModelLoadingState::Progress(int done, int total) {
    const QString what = mode_ == 0 ? QStringLiteral("Загрузка") : QStringLiteral("Актуализация");
    view_.progressText = QStringLiteral("%1 моделей: %2 из %3").arg(what).arg(done).arg(total);
    view_.progressValue = done;
    if (view_.windowVisible) view_.windowText = QString::asprintf("Загрузка модели %d из %d", done, total);
}

void ModelLoadingState::ApplyingChanges() { view_.windowText = QStringLiteral("Создание рабочего набора моделей"); }

bool ModelLoadingState::LoadDone() {
    view_.progressText.clear();
    view_.progressVisible = false;
    view_.windowText = kModelLoadingInitialText;
    const bool wasVisible = view_.windowVisible;
    view_.windowVisible = false;
    return wasVisible;
}

bool ShouldAutoStartCamera(bool windowWasVisible, bool cameraCurrent, bool cameraRunning, bool autoStartLastCamera) {
    return windowWasVisible && cameraCurrent && !cameraRunning && autoStartLastCamera;
}

}  // namespace ui
