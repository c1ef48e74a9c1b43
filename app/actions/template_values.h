#pragma once
// Purpose: the text each template placeholder stands for: dates and times, the computer name,
//          the list and gender words, the confidence and the presence duration. Numbers always
//          use the separators written here, whatever the locale.
// Threads: any (pure functions; the computer name is read once, thread-safely).
// Owns: nothing.

#include "app/recognition/person_fields.h"
#include "platform/oledate.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace actions {

// The computer name as read the first time it is asked for; start-up asks for it so that it is
// read then.
const QString& ComputerNameAtStartup();

// An OLE Automation date split into date and time of day to the nearest second; nothing for
// values outside 1 January 100 .. 31 December 9999 (and NaN).
std::optional<platform::LocalTime> SplitToSecond(double oleDate);

// "05.03.2019" and "09:04:07"; empty when the value is no date.
QString DateText(double oleDate);
QString TimeOfDayText(double oleDate);

// "Зеленый", "Красный", "Серый" for lists 0, 1, 2; empty for any other.
QString ListWord(uint32_t listNumber);
// "Женский" for 0, "Мужской" for any other value.
QString GenderWord(uint32_t gender);

enum class DecimalSeparator { Point, Comma };
// (1 - distance) x 100 with one decimal and "%": "71.4%" or "71,4%".
QString ConfidenceValueText(float distance, DecimalSeparator separator);

// Surname, then the forename and the second name each after a space when not empty.
QString FullNameText(const recognition::PersonFields& person);

// Date of birth: "05.03.1970" for mail, ". Дата рождения 5.3.1970" for speech; empty when the
// date is not recorded (not above 0).
QString MailBirthDateText(double dateOfBirth);
QString SpeechBirthDateText(double dateOfBirth);

// "1 час 02 мин 05 сек": the duration rounded to the second; a negative one (the clock was set
// back while the face was in view) counts as 0.
QString PresenceText(platform::OleDays presence);

}  // namespace actions
