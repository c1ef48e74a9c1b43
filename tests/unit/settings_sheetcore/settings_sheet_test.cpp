// The settings sheet and page "Прочее" on the offscreen platform.

#include "app/ui/settings_sheet.h"
#include "app/ui/other_page.h"
#include "app/ui/settings_pages.h"
#include "settings/settings_hub.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

void AddPages(ui::SettingsSheet& sheet, settings::SettingsState& copy) {
    for (const char* caption : {"База данных", "Камеры", "Распознавание"})
        sheet.AddPage(new QLabel(QString::fromUtf8(caption)), QString::fromUtf8(caption));
    sheet.AddPage(new ui::OtherPage(copy), QStringLiteral("Прочее"));
}

TEST(SettingsSheet, OpensOnThePageUsedLastAndOkConfirms) {
    auto copy = std::make_unique<settings::SettingsState>();
    {
        ui::SettingsSheet sheet;
        AddPages(sheet, *copy);
        sheet.ShowStartPage();
        EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Настройки программы"));
        EXPECT_EQ(sheet.Pages()->currentIndex(), 0);
        EXPECT_EQ(sheet.findChildren<QPushButton*>().size(), 2);  // no Apply, no Help
        sheet.Pages()->setCurrentIndex(3);
        QTimer::singleShot(0, &sheet, [&sheet] { sheet.findChild<QPushButton*>(QStringLiteral("cancel"))->click(); });
        EXPECT_EQ(sheet.exec(), QDialog::Rejected);
        EXPECT_FALSE(ui::SettingsSheet::Confirmed());
    }
    EXPECT_EQ(ui::SettingsSheet::StartPage(), 3);
    ui::SettingsSheet sheet;
    AddPages(sheet, *copy);
    sheet.ShowStartPage();
    EXPECT_EQ(sheet.Pages()->currentIndex(), 3);
    // "Прочее" writes into the copy while the box is clicked.
    auto* autoRun = sheet.findChild<QCheckBox*>(QStringLiteral("AutoRun"));
    ASSERT_NE(autoRun, nullptr);
    // The autostart entry starts the program when the user logs into the desktop session.
    EXPECT_EQ(autoRun->text(), QStringLiteral("Автоматически стартовать программу при входе в систему"));
    autoRun->click();
    EXPECT_TRUE(copy->AutoRun);
    QTimer::singleShot(0, &sheet, [&sheet] { sheet.findChild<QPushButton*>(QStringLiteral("ok"))->click(); });
    EXPECT_EQ(sheet.exec(), QDialog::Accepted);
    EXPECT_TRUE(ui::SettingsSheet::Confirmed());
}

TEST(SettingsSheet, RemembersAPageThatNoLongerExistsAsTheFirst) {
    ui::SettingsSheet big;
    for (int i = 0; i < 8; ++i) big.AddPage(new QLabel, QString::number(i));
    big.ShowStartPage();
    big.Pages()->setCurrentIndex(7);
    ui::SettingsSheet small;
    small.AddPage(new QLabel, QStringLiteral("0"));
    small.ShowStartPage();
    EXPECT_EQ(small.Pages()->currentIndex(), 0);
}

}  // namespace

namespace {

TEST(SettingsPages, EightPagesInTheirOrderEditTheCopyAlone) {
    settings::SettingsHub hub;
    const settings::SettingsSnapshot running = hub.Snapshot();
    auto copy = std::make_unique<settings::SettingsState>(*running);
    ui::SettingsSheet sheet;
    ui::SettingsPageServices services;
    services.actions.soundAvailable = [] { return false; };
    services.actions.speechSupport = [] { return ui::SpeechSupport::NoEngine; };
    ui::AddSettingsPages(sheet, *copy, services);
    const QStringList captions = {"База данных",         "Камеры",     "Распознавание", "Почта", "Действия",
                                  "Форматы и параметры", "Управление", "Прочее"};
    ASSERT_EQ(sheet.Pages()->count(), captions.size());
    for (int i = 0; i < captions.size(); ++i) EXPECT_EQ(sheet.Pages()->tabText(i), captions[i]) << i;

    // A field of each kind of page reaches the copy and nothing else.
    const std::pair<const char*, const char*> typed[] = {
        {"DbConnectionString", "Provider=SQLite;Data Source=/tmp/x.db"},
        {"WaitConnectionTime", "90"},
        {"SMTPServer", "smtp.example.org"},
    };
    for (const auto& [name, text] : typed) {
        auto* edit = sheet.findChild<QLineEdit*>(QString::fromLatin1(name));
        ASSERT_NE(edit, nullptr) << name;
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }
    EXPECT_EQ(QString::fromUtf16(copy->DbConnectionString), QStringLiteral("Provider=SQLite;Data Source=/tmp/x.db"));
    EXPECT_EQ(copy->camerasExt.WaitConnectionTime, 90);
    EXPECT_EQ(QString::fromUtf16(copy->smtp.SMTPServer), QStringLiteral("smtp.example.org"));
    EXPECT_EQ(hub.Snapshot(), running);
    EXPECT_EQ(running->camerasExt.WaitConnectionTime, 0);
    EXPECT_EQ(running->smtp.SMTPServer[0], u'\0');
}

}  // namespace
