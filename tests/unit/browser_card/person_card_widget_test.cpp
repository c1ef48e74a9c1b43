// The person card widget on the offscreen platform: typing marks the field and offers the save,
// the in-place value edit of "Дополнительно".

#include "app/ui/person_card_widget.h"

#include "app/browser/browser_commands.h"
#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

using browser::CardField;

database::PersonCard Card() {
    database::PersonCard card;
    card.personId = 5;
    card.lastRead.surname = QStringLiteral("Сидоров");
    card.lastRead.speech = QStringLiteral("Добрый день");
    for (const char* name : {"Рост", "Цвет глаз"}) {
        auto value = std::make_unique<database::PropValue>();
        value->propId = 1;
        value->name = QString::fromUtf8(name);
        card.values.push_back(std::move(value));
    }
    card.values[0]->valueId = 9;
    card.values[0]->storedValue = QStringLiteral("180");
    return card;
}

class PersonCardWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        card_.resize(800, 600);
        card_.show();
        card_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&card_));
        card_.ShowPerson(Card());
        save_ = card_.findChild<QAction*>(QStringLiteral("saveCard"));
        ASSERT_NE(save_, nullptr);
    }

    template <typename Widget>
    Widget* Child(const char* name) {
        auto* child = card_.findChild<Widget*>(QString::fromUtf8(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    bool MarkerShown(const char* field) { return !Child<QLabel>((std::string(field) + "Marker").c_str())->isHidden(); }

    ui::PersonCardWidget card_;
    QAction* save_ = nullptr;
};

TEST_F(PersonCardWidgetTest, TypingMarksTheFieldAndOffersTheSave) {
    EXPECT_EQ(save_->text(), QStringLiteral("Сохранить изменения"));
    EXPECT_EQ(save_->toolTip(), QStringLiteral("Сохранить изменения параметров персоны в БД"));
    EXPECT_EQ(save_->data().toInt(), browser::kCmdSaveCard);
    EXPECT_FALSE(save_->isEnabled());
    auto* surname = Child<QLineEdit>("surname");
    EXPECT_EQ(surname->text(), QStringLiteral("Сидоров"));
    EXPECT_EQ(surname->maxLength(), 63);
    EXPECT_EQ(Child<QLineEdit>("alias")->maxLength(), 15);
    EXPECT_EQ(Child<QLineEdit>("externalKey")->maxLength(), 31);
    EXPECT_EQ(Child<QLineEdit>("speech")->maxLength(), 255);
    EXPECT_FALSE(MarkerShown("surname"));

    surname->setFocus();
    surname->end(false);
    QTest::keyClicks(surname, QStringLiteral("a"));
    EXPECT_TRUE(MarkerShown("surname"));
    EXPECT_TRUE(save_->isEnabled());
    QTest::keyClick(surname, Qt::Key_Backspace);
    EXPECT_FALSE(MarkerShown("surname"));
    EXPECT_TRUE(save_->isEnabled()) << "editing back keeps the save";

    for (QRadioButton* radio : card_.findChildren<QRadioButton*>()) {
        if (radio->text() == QStringLiteral("Женский")) radio->click();
    }
    EXPECT_TRUE(MarkerShown("gender"));
    EXPECT_EQ(card_.Editor().Gender(), database::Gender::Female);
    Child<QCheckBox>("hasDate")->click();
    EXPECT_TRUE(MarkerShown("dateOfBirth"));
    ASSERT_TRUE(card_.Editor().DateOfBirth().has_value());
    Child<QCheckBox>("hasDate")->click();
    EXPECT_FALSE(MarkerShown("dateOfBirth"));

    auto* description = Child<QPlainTextEdit>("description");
    description->setPlainText(QString(300, u'о'));
    EXPECT_EQ(description->toPlainText().size(), 255);
    EXPECT_EQ(card_.Editor().Text(CardField::Description).size(), 255);
    EXPECT_TRUE(MarkerShown("description"));

    int saves = 0;
    card_.onSave = [&saves] { ++saves; };
    save_->trigger();
    EXPECT_EQ(saves, 1);

    // "Нет" to the question before leaving: the card shows the stored values again.
    dbtest::ScriptedDialogs dialogs;
    dialogs.answers = {database::Answer::No};
    database::DbConnection unused;
    shell::Journal journal;
    database::DbSession session{unused, dialogs, dialogs, QString(), journal};
    EXPECT_EQ(card_.ConfirmLeave(session), browser::LeaveOutcome::Proceed);
    EXPECT_EQ(dialogs.questions, QStringList{browser::kSaveChangesQuestion});
    EXPECT_TRUE(description->toPlainText().isEmpty());
    EXPECT_FALSE(MarkerShown("description"));
    EXPECT_FALSE(save_->isEnabled());

    // Another person: the fields show it and nothing is marked.
    surname->setText(QStringLiteral("Другой"));
    card_.ShowPerson(Card());
    EXPECT_FALSE(save_->isEnabled());
    EXPECT_FALSE(MarkerShown("surname"));
    EXPECT_EQ(surname->text(), QStringLiteral("Сидоров"));

    card_.ClearPerson();
    EXPECT_FALSE(Child<QTabWidget>("cardPages")->isEnabled());
    EXPECT_TRUE(surname->text().isEmpty());
    EXPECT_FALSE(save_->isEnabled());
}

TEST_F(PersonCardWidgetTest, SpeechTestNeedsAVoice) {
    auto* test = Child<QPushButton>("testSpeech");
    EXPECT_EQ(test->text(), QStringLiteral(" Тест"));
    EXPECT_FALSE(test->isEnabled());
    card_.SetSpeechVoiceCount(1);
    EXPECT_TRUE(test->isEnabled());
    QString asked;
    card_.onTestSpeech = [&asked](const QString& speech) { asked = speech; };
    test->click();
    EXPECT_EQ(asked, QStringLiteral("Добрый день"));
    card_.SetSpeech(QStringLiteral("Привет"));
    EXPECT_EQ(card_.Editor().Text(CardField::Speech), QStringLiteral("Привет"));
    EXPECT_TRUE(save_->isEnabled());
    Child<QLineEdit>("speech")->clear();
    EXPECT_FALSE(test->isEnabled());
}

TEST_F(PersonCardWidgetTest, ValuesAreEditedInPlace) {
    auto* pages = Child<QTabWidget>("cardPages");
    EXPECT_EQ(pages->tabText(0), QStringLiteral("Метрики"));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("Дополнительно"));
    EXPECT_EQ(pages->tabText(2), QStringLiteral("Образцы"));
    card_.ShowPage(ui::PersonCardWidget::Page::Properties);
    auto* list = Child<QTreeWidget>("properties");
    auto* edit = Child<QLineEdit>("valueEdit");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Название"));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("Значение"));
    EXPECT_EQ(list->columnWidth(0), 28);
    EXPECT_EQ(list->columnWidth(1), 250);
    EXPECT_EQ(list->columnWidth(2), 350);
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("180"));
    EXPECT_TRUE(list->topLevelItem(0)->icon(0).isNull());

    // Enter on the first row: the edit opens over its value, typing replaces it.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->maxLength(), 255);
    EXPECT_EQ(edit->text(), QStringLiteral("180"));
    QTest::keyClicks(edit, QStringLiteral("175"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("175"));
    EXPECT_FALSE(list->topLevelItem(0)->icon(0).isNull());
    EXPECT_TRUE(save_->isEnabled());
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(card_.Editor().Property(0).editedValue, QStringLiteral("175"));

    // Delete empties the value; on an empty value it has nothing to do.
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(card_.Editor().Property(0).editedValue.isEmpty());
    EXPECT_TRUE(list->topLevelItem(0)->text(2).isEmpty());

    // Space on the second row, then a click on the value cell of the first; leaving closes.
    list->setCurrentItem(list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Space);
    ASSERT_TRUE(edit->isVisible());
    QTest::keyClicks(edit, QStringLiteral("grey"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_TRUE(card_.Editor().Property(1).changed);
    const QRect row = list->visualItemRect(list->topLevelItem(0));
    const QPoint valueCell(list->header()->sectionViewportPosition(2) + 10, row.center().y());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, valueCell);
    ASSERT_TRUE(edit->isVisible());
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
    QTest::keyClicks(edit, QStringLiteral("180"));
    list->setFocus();
    EXPECT_FALSE(edit->isVisible());
    EXPECT_FALSE(card_.Editor().Property(0).changed) << "typed back to the stored value";
    EXPECT_TRUE(list->topLevelItem(0)->icon(0).isNull());
    EXPECT_TRUE(save_->isEnabled());
}

}  // namespace
