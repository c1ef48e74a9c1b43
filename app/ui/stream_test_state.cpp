#include "app/ui/stream_test_state.h"

namespace ui {

StreamTestCommandOutcome StreamTestState::Command(StreamTestCommand command) {
    switch (phase_) {
    case StreamTestPhase::Running:
        phase_ = StreamTestPhase::Stopping;
        stopCommand_ = command;
        return StreamTestCommandOutcome::StopRequested;
    case StreamTestPhase::Stopping:
        return StreamTestCommandOutcome::Ignored;
    case StreamTestPhase::Finished:
        break;
    }
    return StreamTestCommandOutcome::Close;
}

bool StreamTestState::FrameArrived(int columns, int rows) {
    if (columns <= 0 || rows <= 0) {
        return false;
    }
    resolutionText_ = QStringLiteral("Разрешение %1x%2").arg(columns).arg(rows);
    const QSize shown(kPictureHeight * columns / rows, kPictureHeight);
    const bool changed = shown != pictureSize_;
    pictureSize_ = shown;
    return changed;
}

}  // namespace ui
