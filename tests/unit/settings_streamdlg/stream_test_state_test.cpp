// The stream test dialog's rules without a display.

#include "app/ui/stream_test_state.h"

#include <gtest/gtest.h>

namespace {

using ui::StreamTestCommand;
using ui::StreamTestCommandOutcome;
using ui::StreamTestPhase;

TEST(StreamTestState, FirstCommandStopsTheWorkerAndOnlyAFinishedTestCloses) {
    ui::StreamTestState state;
    EXPECT_TRUE(state.CancelEnabled());
    EXPECT_TRUE(state.Watching());
    EXPECT_EQ(state.Command(StreamTestCommand::Ok), StreamTestCommandOutcome::StopRequested);
    EXPECT_EQ(state.StopCommand(), StreamTestCommand::Ok);
    EXPECT_FALSE(state.CancelEnabled());
    EXPECT_FALSE(state.Watching());
    // Escape or closing the window while the worker stops: the first command stands.
    EXPECT_EQ(state.Command(StreamTestCommand::Cancel), StreamTestCommandOutcome::Ignored);
    EXPECT_EQ(state.StopCommand(), StreamTestCommand::Ok);
    EXPECT_EQ(state.Phase(), StreamTestPhase::Stopping);
    state.Finished();
    EXPECT_EQ(state.Command(StreamTestCommand::Cancel), StreamTestCommandOutcome::Close);

    // A test that ends by itself (an error) closes on the first command.
    ui::StreamTestState failed;
    failed.Finished();
    EXPECT_FALSE(failed.Watching());
    EXPECT_EQ(failed.Command(StreamTestCommand::Cancel), StreamTestCommandOutcome::Close);
}

TEST(StreamTestState, PictureKeepsHeight240AndTheFrameAspect) {
    ui::StreamTestState state;
    EXPECT_EQ(state.PictureSize(), QSize(320, 240));
    EXPECT_TRUE(state.ResolutionText().isEmpty());

    EXPECT_FALSE(state.FrameArrived(640, 480));  // same shape as before the first frame
    EXPECT_EQ(state.ResolutionText(), QStringLiteral("Разрешение 640x480"));
    EXPECT_TRUE(state.FrameArrived(480, 640));  // a camera turned by 90°
    EXPECT_EQ(state.PictureSize(), QSize(180, 240));
    EXPECT_EQ(state.ResolutionText(), QStringLiteral("Разрешение 480x640"));
    EXPECT_TRUE(state.FrameArrived(1280, 720));
    EXPECT_EQ(state.PictureSize(), QSize(426, 240));
    EXPECT_FALSE(state.FrameArrived(1280, 720));

    // A frame without rows changes nothing (no division by zero).
    EXPECT_FALSE(state.FrameArrived(640, 0));
    EXPECT_EQ(state.PictureSize(), QSize(426, 240));

    state.Opened();  // a reopened stream: the size shows again with its next frame
    EXPECT_TRUE(state.ResolutionText().isEmpty());
    state.FrameArrived(1280, 720);
    EXPECT_EQ(state.ResolutionText(), QStringLiteral("Разрешение 1280x720"));
}

}  // namespace
