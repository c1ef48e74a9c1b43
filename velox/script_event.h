#pragma once
// Purpose: the request of one script run as read from the block, checked field by field, and the
//          same request as named values for a script: a map (JavaScript's Event), a JSON document
//          and OSTROVID_* environment variables.
// Threads: any.
// Owns: copies of every text.

#include "settings/channel_area.h"
#include "velox/velox_block_layout.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <optional>
#include <vector>

namespace velox {

// As stored: 0 starts the file itself (the event in its environment and as JSON on its input),
// 1 runs a JScript file in the runner.
enum class ScriptType : uint32_t { Executable = 0, JScript = 1 };

struct ScriptImage {
    QString file;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct ScriptEvent {
    layout::PacketType type = layout::PacketType::Recognized;
    int32_t timeout = 0;  // seconds; 0 or less: none
    bool allowUI = false;
    ScriptType scriptType = ScriptType::JScript;
    QString scriptFile;
    QString eventName;
    double eventTime = 0;  // OLE Automation date
    QString cameraName;
    // A recognized person.
    int32_t personId = 0;
    double confidence = 0;
    int32_t listNumber = 0;
    QString surname;
    QString forename;
    QString secondName;
    QString alias;
    QString externalKey;
    int32_t gender = 0;
    double dateOfBirth = 0;  // 0: not recorded
    QString imageFile;
    // An unrecognized person.
    double firstSeen = 0;
    std::vector<ScriptImage> images;
};

// The request of a block; nothing with the reason when the block holds none that makes sense.
std::optional<ScriptEvent> DecodeRequest(const settings::channel::ChannelArea& block, QString* error);

// The fields a script sees, by name; dates as local QDateTime (null when not recorded), images as
// a list of maps {file, x, y, width, height}.
QVariantMap EventFields(const ScriptEvent& event);
// The same with dates as ISO 8601 local time text ("2026-12-10T09:15:02.250").
QJsonObject EventJson(const ScriptEvent& event);
// "OSTROVID_EVENT_NAME=RecognizedPerson", ... one per field; images as OSTROVID_IMAGE_COUNT and
// OSTROVID_IMAGE_<i>_FILE, _X, _Y, _WIDTH, _HEIGHT.
QStringList EventEnvironment(const ScriptEvent& event);

}  // namespace velox
