#pragma once
// Purpose: what the document handlers need of the running camera: its name and state for the
//          state event a new subscriber gets, and the viewport's answer to a camera request.
// Threads: both methods are called from sessions' receive threads, several at a time.
// Owns: nothing.

#include "app/camera/camera_work.h"
#include "app/recognition/state_request.h"

#include <QString>

#include <memory>

namespace management {

struct CameraStatus {
    QString name;
    camera::CameraState state = camera::CameraState::Iddle;
};

class CameraStateSource {
public:
    virtual ~CameraStateSource() = default;
    virtual CameraStatus CurrentCameraStatus() = 0;
    // Hands the request to the viewport's thread, which fills it and sets its completed event.
    // False when it could not be handed over.
    virtual bool PostStateRequest(std::shared_ptr<recognition::CameraStateRequest> request) = 0;
};

}  // namespace management
