// The settings sheet and page "Прочее" on the offscreen platform.

#include "app/ui/settings_sheet.h"
#include "app/ui/other_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
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
