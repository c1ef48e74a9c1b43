#include "app/actions/template_vocabulary.h"

#include <array>

namespace actions {

namespace {

struct PlaceholderText {
    QStringView token;
    QStringView caption;
    QStringView speechSample;
};

// Indexed by Placeholder.
constexpr std::array<PlaceholderText, 15> kPlaceholders{{
    {u"%ДАТА%", u"Дата", {}},
    {u"%ВРЕМЯ%", u"Время", {}},
    {u"%КОМП%", u"Имя компьютера", {}},
    {u"%КАМЕРА%", u"Имя камеры", {}},
    {u"%СПИСОК%", u"Список", {}},
    {u"%ВЕР%", u"Вероятность", u"71,4%"},
    {u"%ФИО%", u"Фамилия Имя Отчество", u"Сергеев Иван Петрович"},
    {u"%Ф%", u"Фамилия", u"Иванов"},
    {u"%И%", u"Имя", u"Иван"},
    {u"%О%", u"Отчество", u"Иванович"},
    {u"%ПСМ%", u"Псевдоним", u"шеф"},
    {u"%ДР%", u"Дата рождения", u". Дата рождения 1.4.1970"},
    {u"%КЛЮЧ%", u"Внешний ключ", {}},
    {u"%ПОЛ%", u"Пол", {}},
    {u"%ДЛИТ%", u"Длительность присутствия", {}},
}};

const PlaceholderText& TextOf(Placeholder placeholder) { return kPlaceholders.at(static_cast<size_t>(placeholder)); }

using enum Placeholder;

constexpr Placeholder kRecognizedMail[] = {Date,       TimeOfDay,   ComputerName, CameraName, ListWord,
                                           Confidence, FullName,    Surname,      Forename,   SecondName,
                                           Alias,      DateOfBirth, ExternalKey,  Gender};
constexpr Placeholder kUnrecognizedMail[] = {Date, TimeOfDay, ComputerName, CameraName, Presence};
constexpr Placeholder kSpeech[] = {Confidence, FullName, Surname, Forename, SecondName, Alias, DateOfBirth};

constexpr InsertionEntry Entry(Placeholder placeholder) {
    return {InsertionEntryKind::Text, kPlaceholders[static_cast<size_t>(placeholder)].token,
            kPlaceholders[static_cast<size_t>(placeholder)].caption};
}
constexpr InsertionEntry kSeparator{InsertionEntryKind::Separator, {}, {}};

constexpr InsertionEntry kSpeechEntries[] = {
    Entry(Confidence),
    Entry(FullName),
    Entry(Surname),
    Entry(Forename),
    Entry(SecondName),
    Entry(Alias),
    Entry(DateOfBirth),
    kSeparator,
    {InsertionEntryKind::Text, u"<lang langid=\"409\"></lang>", u"Текст на английском"},
    {InsertionEntryKind::Text, u"<spell></spell>", u"Произносить по буквам"},
    {InsertionEntryKind::Text, u"<emph></emph>", u"Акцентировать"},
    {InsertionEntryKind::Text, u"<silence msec=\"1000\"/>", u"Пауза в 1 секунду"},
};
constexpr InsertionEntry kRecognizedMailEntries[] = {
    Entry(Date),       Entry(TimeOfDay),  Entry(ComputerName), Entry(CameraName),  kSeparator,
    Entry(ListWord),   Entry(Confidence), Entry(FullName),     Entry(Surname),     Entry(Forename),
    Entry(SecondName), Entry(Alias),      Entry(DateOfBirth),  Entry(ExternalKey), Entry(Gender),
};
constexpr InsertionEntry kUnrecognizedMailEntries[] = {
    Entry(Date), Entry(TimeOfDay), Entry(ComputerName), Entry(CameraName), Entry(Presence),
};

constexpr InsertionList kSpeechList{u"RecognizedPerson", kSpeechEntries};
constexpr InsertionList kRecognizedMailList{u"RecognizedPersonMail", kRecognizedMailEntries};
constexpr InsertionList kUnrecognizedMailList{u"UnrecognizedPersonMail", kUnrecognizedMailEntries};

}  // namespace

QStringView PlaceholderToken(Placeholder placeholder) { return TextOf(placeholder).token; }

QStringView PlaceholderCaption(Placeholder placeholder) { return TextOf(placeholder).caption; }

std::span<const Placeholder> FamilyPlaceholders(TemplateFamily family) {
    switch (family) {
    case TemplateFamily::RecognizedMail:
        return kRecognizedMail;
    case TemplateFamily::UnrecognizedMail:
        return kUnrecognizedMail;
    case TemplateFamily::Speech:
        break;
    }
    return kSpeech;
}

QStringView SpeechPreviewSample(Placeholder placeholder) { return TextOf(placeholder).speechSample; }

const InsertionList& InsertionListOf(TemplateFamily family) {
    switch (family) {
    case TemplateFamily::RecognizedMail:
        return kRecognizedMailList;
    case TemplateFamily::UnrecognizedMail:
        return kUnrecognizedMailList;
    case TemplateFamily::Speech:
        break;
    }
    return kSpeechList;
}

QString InsertionEntryLabel(const InsertionEntry& entry) {
    if (entry.kind == InsertionEntryKind::Separator) return {};
    QString label = entry.text.toString();
    label += u'\t';
    label += entry.caption;
    return label;
}

MailTemplate StandardMailTemplate(TemplateFamily family) {
    switch (family) {
    case TemplateFamily::RecognizedMail:
        return {u"Распознан %ФИО%",
                u"%ДАТА%  %ВРЕМЯ%\r\n\r\nКамера:  %КАМЕРА%\r\nС вероятностью %ВЕР% распознан %ФИО% (%ПСМ%)\r\n"
                u"Список:  %СПИСОК%\r\nПол:  %ПОЛ%\r\nДата рождения:  %ДР%"};
    case TemplateFamily::UnrecognizedMail:
        return {u"Персона не распознана",
                u"%ДАТА%  %ВРЕМЯ%\r\n\r\nКамера:  %КАМЕРА%\r\nНераспознанная персона\r\n"
                u"Длительность присутствия:  %ДЛИТ%"};
    case TemplateFamily::Speech:
        break;
    }
    return {};
}

}  // namespace actions
