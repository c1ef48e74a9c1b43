// The "Новая персона" dialog and the operator's message boxes on the offscreen platform.

#include "app/ui/new_person_dialog.h"
#include "app/ui/operator_boxes.h"
#include "app/ui/splash_windows.h"

#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

using database::WatchList;

TEST(NewPersonDialogTest, ControlsForwardToTheForm) {
    dbtest::ScriptedDialogs dialogs;
    ui::NewPersonDialog dialog(WatchList::Gray, dialogs);
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"));
    auto* surname = dialog.findChild<QLineEdit*>(QStringLiteral("surname"));
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(surname, nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Новая персона"));
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(surname->maxLength(), 63);
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("alias"))->maxLength(), 15);
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("externalKey"))->maxLength(), 31);

    surname->insert(QStringLiteral("  Петров "));
    EXPECT_TRUE(ok->isEnabled());
    for (QRadioButton* radio : dialog.findChildren<QRadioButton*>()) {
        if (radio->text() == QStringLiteral("Женский")) radio->click();
        if (radio->text() == QStringLiteral("Серый")) {
            EXPECT_TRUE(radio->isChecked());
        }
    }
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Input().fields.surname, QStringLiteral("Петров"));
    EXPECT_EQ(dialog.Input().fields.gender, database::Gender::Female);
    EXPECT_EQ(dialog.Input().list, WatchList::Gray);
    EXPECT_EQ(dialog.Input().fields.dateOfBirth, database::kNoDateOfBirth);
}

TEST(OperatorBoxesTest, QuestionsCarryTheTitleAndTimedNoticesCloseThemselves) {
    ui::OperatorBoxes boxes(nullptr);
    QString caption;
    QTimer::singleShot(0, [&caption] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        caption = box->windowTitle();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(boxes.AskYesNo(QStringLiteral("Вопрос?"), database::DefaultButton::Second), database::Answer::Yes);
    EXPECT_EQ(caption, ui::kProgramTitle);

    QElapsedTimer timer;
    timer.start();
    boxes.ShowTimedNotice(QStringLiteral("Уведомление"), database::NoticeIcon::Information,
                          std::chrono::milliseconds(200));
    EXPECT_GE(timer.elapsed(), 150);
    EXPECT_LT(timer.elapsed(), 10000);
}

}  // namespace
