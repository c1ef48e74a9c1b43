#pragma once
// Purpose: turns the pictures an action carries into its temporary files: the face of a
//          recognized person; the whole frames of an unrecognized one for a script, framed copies
//          for a mail.
// Threads: the action queue thread, outside the queue lock (encoding 30 frames takes a while).
// Owns: nothing; the files go to the item.

#include "app/actions/action_item.h"
#include "app/recognition/frame_face.h"

namespace actions {

// The face's rectangle grown 1.3 times about its centre: the new width is 1.3 x width rounded
// to the nearest integer, the new left is left + width / 2 - new width / 2 in integer halves;
// the same for top and height.
recognition::FrameFace EnlargedFaceRect(const recognition::FrameFace& face);

// Writes the item's pending pictures in order, fills the payload's files (and, for an
// unrecognized person's script, their rectangles) and drops the pictures. A picture that cannot
// be written is logged and skipped: the action goes on without it.
void WritePendingImages(ActionItem& item);

}  // namespace actions
