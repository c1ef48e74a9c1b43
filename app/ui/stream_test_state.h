#pragma once
// Purpose: the stream test dialog "Проверка захвата потока видео" without a display: its phases
//          (running, stopping, finished), what OK, "Отмена" and closing do in each, the size the
//          picture is shown at, and the texts the dialog shows.
// Threads: the user-interface thread only.
// Owns: nothing but its own small state.

#include <QSize>
#include <QString>

namespace ui {

enum class StreamTestPhase { Running, Stopping, Finished };
// The dialog's two commands; the first one pressed becomes the worker's stop flag.
enum class StreamTestCommand { Ok = 1, Cancel = 2 };
enum class StreamTestCommandOutcome {
    StopRequested,  // set the stop flag to the command and disable "Отмена"
    Ignored,        // the worker is already stopping
    Close,          // the test has finished: wait for the thread and end the dialog
};

class StreamTestState {
public:
    static constexpr int kPictureHeight = 240;
    static constexpr QSize kInitialPictureSize{320, 240};

    StreamTestPhase Phase() const { return phase_; }

    StreamTestCommandOutcome Command(StreamTestCommand command);
    // The command that stopped the worker; meaningful once the phase left Running.
    StreamTestCommand StopCommand() const { return stopCommand_; }
    bool CancelEnabled() const { return phase_ == StreamTestPhase::Running; }
    // The display timer takes frames and watches for a hang only while nothing stopped the test.
    bool Watching() const { return phase_ == StreamTestPhase::Running; }

    // The stream opened: the resolution line is cleared until the first frame shows its size.
    void Opened() { resolutionText_.clear(); }
    // A frame of columns x rows arrived; true when the picture's shown size changed (the
    // picture keeps a height of 240 and the frame's aspect ratio).
    bool FrameArrived(int columns, int rows);
    QSize PictureSize() const { return pictureSize_; }
    const QString& ResolutionText() const { return resolutionText_; }

    // The worker ended (or could not start): the next command closes the dialog.
    void Finished() { phase_ = StreamTestPhase::Finished; }

private:
    StreamTestPhase phase_ = StreamTestPhase::Running;
    StreamTestCommand stopCommand_ = StreamTestCommand::Cancel;
    QSize pictureSize_ = kInitialPictureSize;
    QString resolutionText_;
};

}  // namespace ui
