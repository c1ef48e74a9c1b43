#pragma once
// Purpose: the three template families filled with the values of an event: the subject and body
//          of the recognized- and unrecognized-person mails and the spoken text of a recognized
//          person. Each result is expanded once, when its action is built.
// Threads: any (the computer name is read once, thread-safely).
// Owns: nothing.

#include "app/actions/recognized_person_info.h"
#include "platform/oledate.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace actions {

// Every result is nothing when memory ran out ("Недостаточно памяти в системе" logged); the
// caller then drops the action it was building.

// Times are OLE Automation dates (local time).
std::optional<QString> ExpandRecognizedMailTemplate(QStringView text, const RecognizedPersonInfo& person,
                                                    double eventTime, QStringView cameraName);

std::optional<QString> ExpandUnrecognizedMailTemplate(QStringView text, double eventTime, QStringView cameraName,
                                                      platform::OleDays presence);

// Without a person every placeholder takes its preview sample, so an operator can hear a
// template before any recognition.
std::optional<QString> ExpandSpeechTemplate(QStringView text, const RecognizedPersonInfo* person);

}  // namespace actions
