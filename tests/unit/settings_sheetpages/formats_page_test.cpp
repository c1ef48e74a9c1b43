// The formats page offscreen: limits as typed, the time-out switch, the script record of the
// chosen event, the folder browser asked again after a refusal, and opening the log file.

#include "app/ui/formats_page.h"
#include "app/ui/script_check.h"
#include "platform/fixedtext.h"
#include "tests/support/widget_driver.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

using testsupport::Child;

using namespace std::chrono_literals;

void Retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

std::unique_ptr<settings::SettingsState> Copy() {
    auto copy = std::make_unique<settings::SettingsState>();
    copy->csvFormat.SizeLimitMB = 5;
    copy->csvFormat.RotatesNumber = 3;
    copy->scriptRecognized.Timeout = 30;
    copy->scriptUnrecognized.Timeout = -1;
    copy->scriptUnrecognized.ImgFileFormat = 7;
    return copy;
}

TEST(FormatsPage, NumbersKeepTheirLimitsAndEachEventShowsItsOwnScriptFormat) {
    auto copy = Copy();
    ui::FormatsPage page(*copy, {});

    auto* size = Child<QLineEdit>(page, "SizeLimitMB");
    EXPECT_EQ(size->text(), QStringLiteral("5"));
    Retype(size, QStringLiteral("25"));
    EXPECT_EQ(size->text(), QStringLiteral("20"));
    EXPECT_EQ(copy->csvFormat.SizeLimitMB, 20);
    Retype(size, QStringLiteral("0"));  // below the minimum: the copy only
    EXPECT_EQ(size->text(), QStringLiteral("0"));
    EXPECT_EQ(copy->csvFormat.SizeLimitMB, 1);
    Retype(Child<QLineEdit>(page, "RotatesNumber"), QStringLiteral("0"));
    EXPECT_EQ(copy->csvFormat.RotatesNumber, 1);
    Child<QComboBox>(page, "Delimiter")->setCurrentIndex(2);
    Child<QComboBox>(page, "Encode")->setCurrentIndex(0);
    Child<QCheckBox>(page, "UseHeader")->click();
    EXPECT_EQ(copy->csvFormat.Delimiter, 2);
    EXPECT_EQ(copy->csvFormat.Encode, 0);
    EXPECT_EQ(copy->csvFormat.UseHeader, 1);

    Child<QTabWidget>(page, "FormatTabs")->setCurrentIndex(1);
    auto* timeoutOn = Child<QCheckBox>(page, "TimeoutEnabled");
    auto* seconds = Child<QLineEdit>(page, "Timeout");
    EXPECT_TRUE(timeoutOn->isChecked());
    EXPECT_EQ(seconds->text(), QStringLiteral("30"));
    Retype(seconds, QStringLiteral("99999"));
    EXPECT_EQ(copy->scriptRecognized.Timeout, 99999);
    timeoutOn->click();
    EXPECT_EQ(copy->scriptRecognized.Timeout, -1);
    EXPECT_FALSE(seconds->isVisibleTo(&page));
    timeoutOn->click();
    EXPECT_EQ(copy->scriptRecognized.Timeout, 0);
    EXPECT_TRUE(seconds->isVisibleTo(&page));
    EXPECT_EQ(seconds->text(), QStringLiteral("0"));
    Child<QRadioButton>(page, "ImgFileFormat1")->click();
    EXPECT_EQ(copy->scriptRecognized.ImgFileFormat, 1);

    // The other event: its time-out is off and its unknown picture format shows no choice.
    Child<QComboBox>(page, "ScriptEvent")->setCurrentIndex(1);
    EXPECT_FALSE(timeoutOn->isChecked());
    EXPECT_FALSE(seconds->isVisibleTo(&page));
    for (const char* name : {"ImgFileFormat0", "ImgFileFormat1", "ImgFileFormat2"})
        EXPECT_FALSE(Child<QRadioButton>(page, name)->isChecked()) << name;
    Child<QCheckBox>(page, "AllowUI")->click();
    Child<QRadioButton>(page, "ImgFileFormat2")->click();
    EXPECT_EQ(copy->scriptUnrecognized.AllowUI, 1);
    EXPECT_EQ(copy->scriptUnrecognized.ImgFileFormat, 2);
    EXPECT_EQ(copy->scriptRecognized.AllowUI, 0);
    EXPECT_EQ(copy->scriptRecognized.ImgFileFormat, 1);
    Child<QComboBox>(page, "ScriptEvent")->setCurrentIndex(0);
    EXPECT_TRUE(Child<QRadioButton>(page, "ImgFileFormat1")->isChecked());
    EXPECT_EQ(seconds->text(), QStringLiteral("0"));
}

TEST(FormatsPage, ARefusedFolderAsksAgainAndTheLogOpensOnlyWhenItExists) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto copy = Copy();
    QStringList starts;
    QStringList answers{dir.filePath(QStringLiteral("gone")), dir.path()};
    QStringList opened;
    std::vector<ui::PageNotice> notices;
    ui::FormatsPage::Services services;
    services.chooseFolder = [&](QWidget*, const QString&, const QString& start) -> std::optional<QString> {
        starts << start;
        if (answers.isEmpty()) return std::nullopt;
        return answers.takeFirst();
    };
    services.openFile = [&opened](const QString& file) { opened << file; };
    services.notice = [&notices](QWidget*, const ui::PageNotice& notice) { notices.push_back(notice); };
    ui::FormatsPage page(*copy, services);

    Child<QPushButton>(page, "OtherFolder")->click();
    ASSERT_EQ(starts.size(), 2);
    EXPECT_EQ(starts[1], dir.filePath(QStringLiteral("gone")));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, QStringLiteral("Папка должна быть локальной или сетевой!"));
    EXPECT_EQ(platform::FromFixed(copy->csvFormat.Folder), dir.path());
    const QString log = dir.filePath(QStringLiteral("Recgnzd0.txt"));
    EXPECT_EQ(Child<QLineEdit>(page, "LogFilePath")->text(), log);

    Child<QPushButton>(page, "OpenLog")->click();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[1].text, QStringLiteral("Файл не существует!"));
    EXPECT_EQ(notices[1].shown, 3s);
    EXPECT_TRUE(opened.isEmpty());
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    Child<QPushButton>(page, "OpenLog")->click();
    EXPECT_EQ(opened, QStringList{log});

    Child<QPushButton>(page, "DefaultFolder")->click();
    EXPECT_EQ(copy->csvFormat.Folder[0], u'\0');
    EXPECT_NE(Child<QLineEdit>(page, "LogFilePath")->text(), log);
    // Cancelling the browser changes nothing.
    Child<QPushButton>(page, "OtherFolder")->click();
    EXPECT_EQ(copy->csvFormat.Folder[0], u'\0');
}

TEST(ScriptCheckNotice, OnlyACleanExitPassesAndTheRunnersWordsAreKeptShort) {
    using ui::NoticeKind;
    using ui::ScriptCheckEnd;
    EXPECT_EQ(ui::ScriptCheckNotice({ScriptCheckEnd::Exited, 0, "Синтаксис в порядке\n", {}, {}}).kind,
              NoticeKind::Information);
    EXPECT_EQ(ui::ScriptCheckNotice({ScriptCheckEnd::Exited, 0, {}, {}, {}}).kind, NoticeKind::Information);
    // Words on standard output do not make a failed exit a success.
    const ui::PageNotice failed = ui::ScriptCheckNotice({ScriptCheckEnd::Exited, 1, "partial", " line 3: bad\n", {}});
    EXPECT_EQ(failed.kind, NoticeKind::Error);
    EXPECT_EQ(failed.text, QStringLiteral("line 3: bad"));
    EXPECT_EQ(ui::ScriptCheckNotice({ScriptCheckEnd::Exited, 2, "only out", {}, {}}).text, QStringLiteral("only out"));
    EXPECT_EQ(ui::ScriptCheckNotice({ScriptCheckEnd::Crashed, 0, "Синтаксис в порядке", {}, {}}).kind,
              NoticeKind::Error);
    const ui::PageNotice flood = ui::ScriptCheckNotice({ScriptCheckEnd::Exited, 1, {}, QString(100000, u'e'), {}});
    EXPECT_LE(flood.text.size(), 2001);
}

}  // namespace
