#include "app/ui/frame_rules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using ui::PlaceViewportPicture;
using ui::ViewportPlacement;

TEST(ViewportPlacement, ShrinksKeepingAspectNeverEnlargesAndCentres) {
    // Wide frame into a 4:3 client: limited by the width.
    EXPECT_EQ(PlaceViewportPicture(640, 480, 1920, 1080), (ViewportPlacement{640, 360, -1, 59}));
    // Small frame: shown at its own size, centred.
    EXPECT_EQ(PlaceViewportPicture(640, 480, 320, 240), (ViewportPlacement{320, 240, 159, 119}));
    // Tall frame: limited by the height, width rounded.
    EXPECT_EQ(PlaceViewportPicture(640, 480, 480, 1280), (ViewportPlacement{180, 480, 229, -1}));
    // Only one side too large still shrinks the whole picture.
    EXPECT_EQ(PlaceViewportPicture(640, 480, 700, 100), (ViewportPlacement{640, 91, -1, 194}));
    // Exactly fitting.
    EXPECT_EQ(PlaceViewportPicture(640, 480, 640, 480), (ViewportPlacement{640, 480, -1, -1}));
}

TEST(ViewportPlacement, UnknownSizesGiveNothing) {
    EXPECT_EQ(PlaceViewportPicture(0, 480, 640, 480), ViewportPlacement{});
    EXPECT_EQ(PlaceViewportPicture(640, -3, 640, 480), ViewportPlacement{});
    EXPECT_EQ(PlaceViewportPicture(640, 480, 0, 0), ViewportPlacement{});
}

TEST(WindowPosition, OffScreenPositionsFallBackToTheDefault) {
    const QRect screen(0, 0, 1920, 1080);
    const settings::WindowPos fine{100, 50, 850, 650};
    EXPECT_EQ(ui::CheckedWindowPos(fine, screen).ScreenX, 100);

    const settings::WindowPos leftOfScreen{-900, 10, 850, 650};
    const settings::WindowPos aboveScreen{10, -1, 850, 650};
    const settings::WindowPos beyondRightAndBottom{1500, 900, 850, 650};
    for (const auto& pos : {leftOfScreen, aboveScreen, beyondRightAndBottom}) {
        const settings::WindowPos checked = ui::CheckedWindowPos(pos, screen);
        EXPECT_EQ(checked.ScreenX, 10);
        EXPECT_EQ(checked.ScreenY, 10);
        EXPECT_EQ(checked.Width, 850);
        EXPECT_EQ(checked.Height, 650);
    }
    // Beyond only the right edge (or only the bottom) stays where it is.
    EXPECT_EQ(ui::CheckedWindowPos({1500, 10, 850, 650}, screen).ScreenX, 1500);
    EXPECT_EQ(ui::CheckedWindowPos({10, 900, 850, 650}, screen).ScreenY, 900);
    // A second monitor left of the primary one makes negative positions valid.
    EXPECT_EQ(ui::CheckedWindowPos({-1500, 10, 850, 650}, QRect(-1920, 0, 3840, 1080)).ScreenX, -1500);
    // No overflow on extreme stored values.
    EXPECT_EQ(ui::CheckedWindowPos({INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX}, screen).ScreenX, 10);
}

TEST(PanelGeometry, StatusPartsProgressBarAndAnimation) {
    EXPECT_EQ(ui::FrameStatusPartEnds(1000), (std::array<int, 3>{540, 850, 1000}));
    EXPECT_EQ(ui::CameraStatusPartEnds(500), (std::array<int, 3>{356, 404, 500}));
    EXPECT_EQ(ui::ProgressBarRect(1000, 22), QRect(720, 8, 120, 9));
    EXPECT_EQ(ui::ConnectingAnimationRect(400, 27), QRect(161, 10, 78, 7));
    EXPECT_EQ(ui::ConnectingAnimationRect(157, 27).x(), 40);
    EXPECT_EQ(ui::ConnectingAnimationRect(158, 27).x(), 40);
    EXPECT_EQ(ui::ConnectingAnimationRect(200, 27).x(), 61);
}

TEST(Splitter, LayoutAroundTheBand) {
    const ui::SplitLayout split = ui::SplitAt(1000, 0.35);
    EXPECT_EQ(split.firstLength, 348);
    EXPECT_EQ(split.bandStart, 348);
    EXPECT_EQ(split.secondStart, 353);
}

TEST(Splitter, DragIsClampedAndSavedOnlyWhenChanged) {
    ui::SplitterDrag drag(0.5);
    // Pressed in the band and released without moving: nothing to save.
    drag.Press(498, 496);
    EXPECT_TRUE(drag.Dragging());
    EXPECT_FALSE(drag.Move(498, 1000));
    EXPECT_FALSE(drag.Finish());
    EXPECT_DOUBLE_EQ(drag.Proportion(), 0.5);

    // Far to the right stops at 70 %, far to the left at 30 %.
    drag.Press(498, 496);
    EXPECT_TRUE(drag.Move(990, 1000));
    EXPECT_DOUBLE_EQ(drag.Proportion(), 0.7);
    EXPECT_FALSE(drag.Move(995, 1000));  // still 0.7: no new layout
    EXPECT_TRUE(drag.Move(5, 1000));
    EXPECT_DOUBLE_EQ(drag.Proportion(), 0.3);
    // The grab offset is kept: mouse 2 pixels into the band.
    EXPECT_TRUE(drag.Move(2 + 497, 1000));
    EXPECT_NEAR(drag.Proportion(), 497.0 / 995.0, 1e-12);
    EXPECT_TRUE(drag.Finish());
    EXPECT_FALSE(drag.Dragging());
    // Moves outside a drag do nothing.
    EXPECT_FALSE(drag.Move(900, 1000));

    // Out and back to the very same proportion is no change.
    ui::SplitterDrag back(0.7);
    back.Press(700, 698);
    EXPECT_TRUE(back.Move(300, 1000));
    EXPECT_TRUE(back.Move(2000, 1000));
    EXPECT_FALSE(back.Finish());
}

TEST(Splitter, StoredProportionsAreKeptInRange) {
    EXPECT_DOUBLE_EQ(ui::SplitterDrag(0.1).Proportion(), 0.3);
    EXPECT_DOUBLE_EQ(ui::SplitterDrag(0.9).Proportion(), 0.7);
    EXPECT_DOUBLE_EQ(ui::SplitterDrag(std::nan("")).Proportion(), 0.3);
    EXPECT_DOUBLE_EQ(ui::SplitterDrag(0.35).Proportion(), 0.35);
}

TEST(Toolbar, StateFollowsCameraDatabaseAndSnapshot) {
    ui::ToolbarInputs in;
    ui::ToolbarState s = ui::ComputeToolbarState(in);
    EXPECT_FALSE(s.chooseCamera);
    EXPECT_FALSE(s.start);
    EXPECT_FALSE(s.stop);
    EXPECT_FALSE(s.database);
    EXPECT_EQ(s.snapshot, ui::SnapshotButton::Disabled);

    in.cameraCount = 2;
    in.databaseConfigured = true;
    s = ui::ComputeToolbarState(in);
    EXPECT_TRUE(s.chooseCamera);
    EXPECT_FALSE(s.start);  // no current camera
    EXPECT_TRUE(s.database);

    in.cameraCurrent = true;
    in.snapshotPending = true;  // cannot show pressed while the camera is stopped
    s = ui::ComputeToolbarState(in);
    EXPECT_TRUE(s.start);
    EXPECT_FALSE(s.stop);
    EXPECT_EQ(s.snapshot, ui::SnapshotButton::Disabled);

    in.cameraRunning = true;
    s = ui::ComputeToolbarState(in);
    EXPECT_FALSE(s.start);
    EXPECT_TRUE(s.stop);
    EXPECT_EQ(s.snapshot, ui::SnapshotButton::Pressed);
    in.snapshotPending = false;
    in.framedFace = true;
    s = ui::ComputeToolbarState(in);
    EXPECT_EQ(s.snapshot, ui::SnapshotButton::Enabled);
    EXPECT_TRUE(s.framedFaceChecked);
}

TEST(CameraChoice, SelectingDeselectingAndRestarting) {
    using ui::CameraChoice;
    using ui::DecideCameraChoice;
    // The current camera again: nothing.
    EXPECT_EQ(DecideCameraChoice(1, 1, 3, true).kind, CameraChoice::Nothing);
    // Another one while running: select and start it.
    CameraChoice c = DecideCameraChoice(0, 2, 3, true);
    EXPECT_EQ(c.kind, CameraChoice::Select);
    EXPECT_EQ(c.index, 2);
    EXPECT_TRUE(c.restart);
    EXPECT_FALSE(DecideCameraChoice(-1, 0, 3, false).restart);
    // None, or an index beyond the list, while a camera is current: deselect.
    EXPECT_EQ(DecideCameraChoice(1, -1, 3, true).kind, CameraChoice::Deselect);
    EXPECT_EQ(DecideCameraChoice(1, 3, 3, false).kind, CameraChoice::Deselect);
    EXPECT_EQ(DecideCameraChoice(1, 12, 20, false).kind, CameraChoice::Deselect);  // above the ten slots
    // ... and when none is current: nothing.
    EXPECT_EQ(DecideCameraChoice(-1, -1, 3, false).kind, CameraChoice::Nothing);
}

TEST(Connections, CountWithMaximumMark) {
    using ui::ManagementServer;
    EXPECT_EQ(ui::ConnectionsText(ManagementServer::Running, 8), QStringLiteral("8 (MAX)"));
    EXPECT_EQ(ui::ConnectionsText(ManagementServer::Running, 7), QStringLiteral("7"));
    EXPECT_EQ(ui::ConnectionsText(ManagementServer::Running, 0), QStringLiteral("0"));
    EXPECT_TRUE(ui::ConnectionsText(ManagementServer::Stopped, 8).isEmpty());
}

TEST(ModelLoading, LoadThenActualizeThenReload) {
    ui::ModelLoadingState state;
    EXPECT_TRUE(state.View().windowVisible);
    EXPECT_EQ(state.View().windowText, QStringLiteral("Загрузка моделей. Ожидайте..."));

    state.ModelCount(0);
    EXPECT_EQ(state.View().modelsText, QStringLiteral("Моделей: 0"));
    state.PassStarted(0);
    EXPECT_EQ(state.View().progressText, QStringLiteral("Загрузка моделей"));
    state.PersonsTotal(100);
    EXPECT_TRUE(state.View().progressVisible);
    EXPECT_EQ(state.View().progressMaximum, 100);
    state.Progress(5, 100);
    EXPECT_EQ(state.View().progressText, QStringLiteral("Загрузка моделей: 5 из 100"));
    EXPECT_EQ(state.View().progressValue, 5);
    EXPECT_EQ(state.View().windowText, QStringLiteral("Загрузка модели 5 из 100"));
    state.ApplyingChanges();
    EXPECT_EQ(state.View().windowText, QStringLiteral("Создание рабочего набора моделей"));
    EXPECT_TRUE(state.LoadDone());
    EXPECT_FALSE(state.View().windowVisible);
    EXPECT_FALSE(state.View().progressVisible);
    EXPECT_TRUE(state.View().progressText.isEmpty());
    EXPECT_EQ(state.View().windowText, QStringLiteral("Загрузка моделей. Ожидайте..."));

    // A periodic pass: the hidden window's text is left alone, and the end reports no window.
    state.PassStarted(1);
    state.PersonsTotal(10);
    state.Progress(3, 10);
    EXPECT_EQ(state.View().progressText, QStringLiteral("Актуализация моделей: 3 из 10"));
    EXPECT_EQ(state.View().windowText, QStringLiteral("Загрузка моделей. Ожидайте..."));
    EXPECT_FALSE(state.LoadDone());

    state.ReloadAnnounced();
    EXPECT_TRUE(state.View().windowVisible);
    state.WindowClosed();  // the operator closed it: the end of this load starts nothing
    EXPECT_FALSE(state.LoadDone());
    state.ReloadAnnounced();
    EXPECT_TRUE(state.LoadDone());
}

TEST(ModelLoading, AutoStartOnlyAfterAVisibleLoadOfAStoppedCurrentCamera) {
    EXPECT_TRUE(ui::ShouldAutoStartCamera(true, true, false, true));
    EXPECT_FALSE(ui::ShouldAutoStartCamera(false, true, false, true));
    EXPECT_FALSE(ui::ShouldAutoStartCamera(true, false, false, true));
    EXPECT_FALSE(ui::ShouldAutoStartCamera(true, true, true, true));
    EXPECT_FALSE(ui::ShouldAutoStartCamera(true, true, false, false));
}

}  // namespace
