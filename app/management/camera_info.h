#pragma once
// Purpose: the "CameraInfo" request: what its Type element asks for, and the Camera and
//          CurrentPersonList elements of the reply made from the viewport's answer.
// Threads: any thread (a session's receive thread).
// Owns: nothing.

#include "app/management/reply_document.h"
#include "app/management/session_link.h"
#include "app/recognition/state_request.h"

#include <QDomElement>

#include <cstdint>

namespace management {

struct CameraInfoQuery {
    ReplyError error;
    uint32_t flags = 0;  // recognition::CameraStateRequest::kWantPicture / kWantSubjects
    ImageFormat format = ImageFormat::Jpeg;
};

// Reads the request's Type element and its attributes.
CameraInfoQuery ReadCameraInfoQuery(const QDomElement& root);

// Appends Camera and, when asked for and there is anyone to list, CurrentPersonList.
void AppendCameraInfo(QDomElement& root, const recognition::CameraStateRequest& answer, const CameraInfoQuery& query);

}  // namespace management
