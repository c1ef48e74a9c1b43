#pragma once
// Purpose: the placeholder vocabulary of the three template families (recognized-person mail,
//          unrecognized-person mail, speech text): each placeholder's token and caption, the
//          family's placeholders in expansion order, the preview samples of the speech family,
//          the insertion lists the template edit fields pop up on "%", and the standard mail
//          templates.
// Threads: any (constant data).
// Owns: nothing.

#include <QString>
#include <QStringView>

#include <span>

namespace actions {

enum class Placeholder {
    Date,
    TimeOfDay,
    ComputerName,
    CameraName,
    ListWord,
    Confidence,
    FullName,
    Surname,
    Forename,
    SecondName,
    Alias,
    DateOfBirth,
    ExternalKey,
    Gender,
    Presence,
};

enum class TemplateFamily { RecognizedMail, UnrecognizedMail, Speech };

// "%ДАТА%" and its caption "Дата".
QStringView PlaceholderToken(Placeholder placeholder);
QStringView PlaceholderCaption(Placeholder placeholder);

// The family's placeholders in the order they are tried.
std::span<const Placeholder> FamilyPlaceholders(TemplateFamily family);

// The speech family's value when no person is given ("71,4%", "Сергеев Иван Петрович", ...);
// empty for placeholders outside that family.
QStringView SpeechPreviewSample(Placeholder placeholder);

enum class InsertionEntryKind { Text, Separator };

struct InsertionEntry {
    InsertionEntryKind kind = InsertionEntryKind::Text;
    QStringView text;  // what replaces the typed "%"
    QStringView caption;
};

struct InsertionList {
    QStringView popupName;  // "RecognizedPerson", "RecognizedPersonMail", "UnrecognizedPersonMail"
    std::span<const InsertionEntry> entries;
};

const InsertionList& InsertionListOf(TemplateFamily family);

// How an entry reads in the pop-up: the text, a tab, the caption.
QString InsertionEntryLabel(const InsertionEntry& entry);

struct MailTemplate {
    QStringView subject;
    QStringView body;
};

// The texts "Задать стандартные значения" fills in; empty for the speech family, which has none.
MailTemplate StandardMailTemplate(TemplateFamily family);

}  // namespace actions
