#include "app/actions/message_templates.h"
#include "app/actions/template_expansion.h"
#include "app/actions/template_vocabulary.h"
#include "platform/fixedtext.h"
#include "platform/hostinfo.h"
#include "tests/support/ole_dates.h"

#include "tests/unit/actions_templates/qstring_printer.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

using actions::ExpandRecognizedMailTemplate;
using actions::ExpandSpeechTemplate;
using actions::ExpandTemplate;
using actions::ExpandUnrecognizedMailTemplate;
using actions::TemplateFamily;
using actions::TemplateParam;

using testsupport::OleDate;

actions::RecognizedPersonInfo Person() {
    actions::RecognizedPersonInfo info;
    info.personId = 17;
    info.person.listNumber = 1;
    platform::CopyToFixed(info.person.surname, u"Петров");
    platform::CopyToFixed(info.person.forename, u"Пётр");
    platform::CopyToFixed(info.person.secondName, u"Ильич");
    platform::CopyToFixed(info.person.alias, u"Пит");
    platform::CopyToFixed(info.person.externalKey, u"EXT-9");
    info.person.gender = 1;
    info.person.dateOfBirth = OleDate(1970, 4, 1);
    info.distance = 0.2857f;  // 71.43 %
    return info;
}

QString Recognized(QStringView text, const actions::RecognizedPersonInfo& person = Person(),
                   double when = OleDate(2019, 3, 5, 9, 4, 7)) {
    return ExpandRecognizedMailTemplate(text, person, when, u"Вход").value();
}

QString Speech(QStringView text, const actions::RecognizedPersonInfo* person) {
    return ExpandSpeechTemplate(text, person).value();
}

TEST(TemplateExpansionTest, PercentSignsThatStartNoPlaceholderStayAsWritten) {
    const TemplateParam params[] = {{u"%Ф%", QStringLiteral("Иванов")}, {u"%ФИО%", QStringLiteral("Иванов Иван")}};
    const auto expand = [&](QStringView text) { return ExpandTemplate(text, params).value(); };
    EXPECT_EQ(expand(u"100%"), u"100%");
    EXPECT_EQ(expand(u"50% %X%"), u"50% %X%");
    EXPECT_EQ(expand(u"%"), u"%");
    // Unterminated tokens.
    EXPECT_EQ(expand(u"итог %ФИО"), u"итог %ФИО");
    EXPECT_EQ(expand(u"%Ф"), u"%Ф");
    // A doubled "%" leaves one sign and the placeholder still matches after it.
    EXPECT_EQ(expand(u"%%ФИО%%"), u"%Иванов Иван%");
    EXPECT_EQ(expand(u"%%"), u"%%");
    // Whole tokens only: "%Ф%" is no prefix of "%ФИО%", and vice versa.
    EXPECT_EQ(expand(u"%ФИО%/%Ф%"), u"Иванов Иван/Иванов");
    EXPECT_EQ(expand(u"%ФИ%"), u"%ФИ%");
    // Case-insensitive over Cyrillic, including mixed case.
    EXPECT_EQ(expand(u"%фио% %Фио% %ф%"), u"Иванов Иван Иванов Иван Иванов");
    // Text outside placeholders, line breaks included, is copied unchanged.
    EXPECT_EQ(expand(u"a\r\n%ф%\tb"), u"a\r\nИванов\tb");
    EXPECT_EQ(expand(u""), u"");
}

TEST(TemplateExpansionTest, ValuesAreNeverScannedAgain) {
    const TemplateParam params[] = {
        {u"%A%", QStringLiteral("%B%")}, {u"%B%", QStringLiteral("b")}, {u"%P%", QStringLiteral("71.4%")}};
    const auto expand = [&](QStringView text) { return ExpandTemplate(text, params).value(); };
    EXPECT_EQ(expand(u"%A%"), u"%B%");
    // The % ending a value does not pair with the text after it.
    EXPECT_EQ(expand(u"%P%B%"), u"71.4%B%");
    EXPECT_EQ(expand(u"%P%%B%"), u"71.4%b");
}

TEST(MessageTemplatesTest, RecognizedMailGivesEveryValueInItsFormat) {
    EXPECT_EQ(Recognized(u"%ДАТА%  %ВРЕМЯ%"), u"05.03.2019  09:04:07");
    EXPECT_EQ(Recognized(u"%КОМП%|%КАМЕРА%"), platform::ComputerName() + QStringLiteral("|Вход"));
    EXPECT_EQ(Recognized(u"%СПИСОК% %ВЕР% %ФИО%"), u"Красный 71.4% Петров Пётр Ильич");
    EXPECT_EQ(Recognized(u"%Ф%/%И%/%О%/%ПСМ%/%КЛЮЧ%/%ПОЛ%/%ДР%"), u"Петров/Пётр/Ильич/Пит/EXT-9/Мужской/01.04.1970");

    auto person = Person();
    person.person.gender = 0;
    person.person.listNumber = 0;
    EXPECT_EQ(Recognized(u"%ПОЛ% %СПИСОК%", person), u"Женский Зеленый");
    person.person.listNumber = 2;
    EXPECT_EQ(Recognized(u"%СПИСОК%", person), u"Серый");
    person.person.listNumber = 7;
    EXPECT_EQ(Recognized(u"[%СПИСОК%]", person), u"[]");
    person.person.gender = 5;
    EXPECT_EQ(Recognized(u"%ПОЛ%", person), u"Мужской");

    // No second name and no forename: the surname alone, no trailing space.
    platform::CopyToFixed(person.person.forename, u"");
    EXPECT_EQ(Recognized(u"[%ФИО%]", person), u"[Петров Ильич]");
    platform::CopyToFixed(person.person.secondName, u"");
    EXPECT_EQ(Recognized(u"[%ФИО%]", person), u"[Петров]");
}

TEST(MessageTemplatesTest, PersonTextsThatLookLikePlaceholdersStayAsStored) {
    auto person = Person();
    platform::CopyToFixed(person.person.alias, u"%ФИО%");
    platform::CopyToFixed(person.person.surname, u"100%");
    EXPECT_EQ(Recognized(u"%ПСМ%|%Ф%ВЕР%", person), u"%ФИО%|100%ВЕР%");
    EXPECT_EQ(Speech(u"%ПСМ% %ФИО%", &person), u"%ФИО% 100% Пётр Ильич");
}

TEST(MessageTemplatesTest, ConfidenceSeparatorIgnoresTheLocale) {
    // A locale whose decimal separator is a comma must not leak into the mail text.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
    const auto person = Person();
    EXPECT_EQ(Recognized(u"%ВЕР%", person), u"71.4%");
    EXPECT_EQ(Speech(u"%ВЕР%", &person), u"71,4%");
    std::setlocale(LC_NUMERIC, saved.c_str());

    auto sure = Person();
    sure.distance = 0;
    EXPECT_EQ(Recognized(u"%ВЕР%", sure), u"100.0%");
    EXPECT_EQ(Speech(u"%ВЕР%", &sure), u"100,0%");
}

TEST(MessageTemplatesTest, DatesAtTheEdges) {
    // Midnight itself, and a time half a second before midnight, which rounds into the next day,
    // month and year.
    EXPECT_EQ(Recognized(u"%ДАТА% %ВРЕМЯ%", Person(), OleDate(2020, 2, 29)), u"29.02.2020 00:00:00");
    EXPECT_EQ(Recognized(u"%ДАТА% %ВРЕМЯ%", Person(), OleDate(2019, 12, 31, 23, 59, 59, 600)), u"01.01.2020 00:00:00");
    EXPECT_EQ(Recognized(u"%ВРЕМЯ%", Person(), OleDate(2019, 3, 5, 9, 4, 7, 499)), u"09:04:07");

    // Without a date of birth the default body ends with its caption and two spaces.
    auto person = Person();
    person.person.dateOfBirth = 0;
    const QString body = Recognized(actions::StandardMailTemplate(TemplateFamily::RecognizedMail).body, person);
    EXPECT_TRUE(body.endsWith(u"\r\nДата рождения:  ")) << body.toStdString();
    EXPECT_EQ(Speech(u"Здравствуйте%ДР%.", &person), u"Здравствуйте.");
    // Neither a date before the first day the platform knows, nor a nonsense value.
    person.person.dateOfBirth = -1e9;
    EXPECT_EQ(Recognized(u"[%ДР%]", person), u"[]");
    person.person.dateOfBirth = 1e300;
    EXPECT_EQ(Recognized(u"[%ДР%]", person), u"[]");

    person.person.dateOfBirth = OleDate(1970, 4, 1);
    EXPECT_EQ(Speech(u"Петров%ДР%", &person), u"Петров. Дата рождения 1.4.1970");
    person.person.dateOfBirth = OleDate(1985, 11, 23);
    EXPECT_EQ(Speech(u"%ДР%", &person), u". Дата рождения 23.11.1985");
}

TEST(MessageTemplatesTest, StandardRecognizedMailReadsInFull) {
    const auto standard = actions::StandardMailTemplate(TemplateFamily::RecognizedMail);
    EXPECT_EQ(Recognized(standard.subject), u"Распознан Петров Пётр Ильич");
    EXPECT_EQ(Recognized(standard.body),
              u"05.03.2019  09:04:07\r\n\r\nКамера:  Вход\r\nС вероятностью 71.4% распознан Петров Пётр Ильич (Пит)\r\n"
              u"Список:  Красный\r\nПол:  Мужской\r\nДата рождения:  01.04.1970");
}

TEST(MessageTemplatesTest, UnrecognizedMailGivesThePresenceDuration) {
    const auto standard = actions::StandardMailTemplate(TemplateFamily::UnrecognizedMail);
    const double when = OleDate(2019, 3, 5, 9, 4, 7);
    const auto expand = [&](QStringView text, double seconds) {
        return ExpandUnrecognizedMailTemplate(text, when, u"Вход", platform::OleDays(seconds / 86400.0)).value();
    };
    EXPECT_EQ(expand(standard.subject, 0), u"Персона не распознана");
    EXPECT_EQ(
        expand(standard.body, 127),
        u"05.03.2019  09:04:07\r\n\r\nКамера:  Вход\r\nНераспознанная персона\r\nДлительность присутствия:  0 час 02 мин 07 сек");
    EXPECT_EQ(expand(u"%ДЛИТ%", 3725.4), u"1 час 02 мин 05 сек");
    EXPECT_EQ(expand(u"%ДЛИТ%", 59.6), u"0 час 01 мин 00 сек");
    EXPECT_EQ(expand(u"%ДЛИТ%", 0.4), u"0 час 00 мин 00 сек");
    EXPECT_EQ(expand(u"%ДЛИТ%", 100 * 3600 + 59), u"100 час 00 мин 59 сек");
    // The clock set back while the face was in view.
    EXPECT_EQ(expand(u"%ДЛИТ%", -3600), u"0 час 00 мин 00 сек");
    EXPECT_EQ(expand(u"%длит% %КОМП%", 1), QStringLiteral("0 час 00 мин 01 сек ") + platform::ComputerName());
}

TEST(MessageTemplatesTest, EachFamilyLeavesForeignPlaceholdersLiterally) {
    const auto person = Person();
    EXPECT_EQ(Recognized(u"%ДЛИТ%"), u"%ДЛИТ%");
    EXPECT_EQ(ExpandUnrecognizedMailTemplate(u"%ФИО% %ВЕР% %СПИСОК% %ПОЛ% %ДР%", 0, u"", {}).value(),
              u"%ФИО% %ВЕР% %СПИСОК% %ПОЛ% %ДР%");
    EXPECT_EQ(Speech(u"%КЛЮЧ% %ДАТА% %ВРЕМЯ% %КОМП% %КАМЕРА% %СПИСОК% %ПОЛ% %ДЛИТ%", &person),
              u"%КЛЮЧ% %ДАТА% %ВРЕМЯ% %КОМП% %КАМЕРА% %СПИСОК% %ПОЛ% %ДЛИТ%");
}

TEST(MessageTemplatesTest, SpeechWithoutAPersonUsesThePreviewSamples) {
    EXPECT_EQ(Speech(u"%ФИО%%ДР%", nullptr), u"Сергеев Иван Петрович. Дата рождения 1.4.1970");
    EXPECT_EQ(Speech(u"%ВЕР% %Ф% %И% %О% <spell>%ПСМ%</spell>", nullptr),
              u"71,4% Иванов Иван Иванович <spell>шеф</spell>");
    const auto person = Person();
    EXPECT_EQ(Speech(u"%ФИО% (%псм%)", &person), u"Петров Пётр Ильич (Пит)");
}

TEST(TemplateVocabularyTest, InsertionListsOfferEachFamilysPlaceholders) {
    // Every placeholder a list inserts expands in that list's family.
    for (TemplateFamily family :
         {TemplateFamily::RecognizedMail, TemplateFamily::UnrecognizedMail, TemplateFamily::Speech}) {
        const auto& list = actions::InsertionListOf(family);
        for (const auto& entry : list.entries) {
            if (entry.kind != actions::InsertionEntryKind::Text || !entry.text.startsWith(u'%')) continue;
            const auto& family_placeholders = actions::FamilyPlaceholders(family);
            EXPECT_TRUE(std::any_of(family_placeholders.begin(), family_placeholders.end(),
                                    [&](actions::Placeholder p) { return actions::PlaceholderToken(p) == entry.text; }))
                << list.popupName.toString().toStdString() << " " << entry.text.toString().toStdString();
        }
    }
    const auto& speech = actions::InsertionListOf(TemplateFamily::Speech);
    EXPECT_EQ(speech.popupName, u"RecognizedPerson");
    ASSERT_EQ(speech.entries.size(), 12u);
    EXPECT_EQ(speech.entries[7].kind, actions::InsertionEntryKind::Separator);
    EXPECT_EQ(actions::InsertionEntryLabel(speech.entries[11]), u"<silence msec=\"1000\"/>\tПауза в 1 секунду");
    const auto& mail = actions::InsertionListOf(TemplateFamily::RecognizedMail);
    ASSERT_EQ(mail.entries.size(), 15u);
    EXPECT_EQ(mail.entries[4].kind, actions::InsertionEntryKind::Separator);
    EXPECT_EQ(actions::InsertionEntryLabel(mail.entries[13]), u"%КЛЮЧ%\tВнешний ключ");
    EXPECT_EQ(actions::InsertionListOf(TemplateFamily::UnrecognizedMail).entries.size(), 5u);
}

}  // namespace
