#pragma once
// What a live view hands to the window that shows it: the picture, the face count, the
// connecting animation, the layout and the subjects' labels, by subject id. The window paints
// only; it keeps no subjects. User-interface thread only.

#include "app/viewport/viewport_processor.h"

#include <QString>

#include <cstdint>

namespace viewport {

class LiveSurface : public ViewportSurface {
public:
    // A subject's first label: made hidden, at `position`.
    virtual void AddLabel(uint32_t subjectId, recognition::LabelPoint position) = 0;
    // The label takes the text and the size that fits it.
    virtual void SetLabelText(uint32_t subjectId, const QString& text) = 0;
    // The subject leaves: its label goes.
    virtual void RemoveLabel(uint32_t subjectId) = 0;
    virtual void RemoveLabels() = 0;
};

}  // namespace viewport
