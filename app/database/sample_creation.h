#pragma once
// Purpose: making a new sample of the browser's current person from a picture file or a
//          clipboard image: the picture is checked, the sample wizard picks the face and makes
//          its chip and descriptor, the new sample is checked against the person's samples and
//          stored with the person's STATE counted.
// Threads: the user-interface thread.
// Owns: nothing; its temporary files are gone when a call returns, on every path.

#include "app/database/db_session.h"
#include "app/database/person_name.h"
#include "app/recognition/face_describer.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace database {

// The smallest picture a sample is made from, on either side.
constexpr int kMinSamplePictureSide = 200;

// The sample wizard: given the picture's path, the chosen face's 150x150 chip (capture byte
// order) and its descriptor, or nothing when the operator cancelled or no face was usable. It
// tells the operator itself why it made nothing.
using SampleWizard = std::function<std::optional<recognition::DescribedFace>(const QString& picturePath)>;

// Whose sample it becomes: the browser's current person with the samples its panel shows.
struct SampleOwner {
    int32_t personId = 0;
    PersonName name;
    int sampleCount = 0;
    std::vector<recognition::FaceDescriptor> descriptors;
};

struct CreationOutcome {
    FlowResult result = FlowResult::Abandoned;
    int32_t sampleId = 0;  // for Done: the new sample, for the browser's panel
    QByteArray image;      // its stored image
    recognition::FaceDescriptor descriptor;
};

// The browser clears its cluster labels before calling. A missing file does nothing; a file that
// cannot be read or is smaller than 200x200 is refused with its message.
CreationOutcome CreateSampleFromFile(const DbSession& context, const SampleWizard& wizard, const SampleOwner& owner,
                                     const QString& path);
// The image is saved as a temporary JPEG file and handled like a file.
CreationOutcome CreateSampleFromImage(const DbSession& context, const SampleWizard& wizard, const SampleOwner& owner,
                                      const QImage& image);

}  // namespace database
