#include "app/shell/journal.h"
#include "app/shell/journal_model.h"

#include <gtest/gtest.h>

#include <QTime>

#include <vector>

namespace {

using shell::JournalEntry;
using shell::JournalTab;

// Delivers straight into a panel model, as the tab windows will on the user-interface thread,
// and remembers the raw pointers of the last entry so tests can see what was copied.
class ModelSink : public shell::JournalSink {
public:
    explicit ModelSink(shell::JournalPanelModel* model) : model_(model) {}
    bool Deliver(JournalTab tab, std::unique_ptr<JournalEntry> entry) override {
        if (refuse) {
            return false;
        }
        lastEventText = entry->eventText;
        lastDescription = entry->description;
        lastDescriptionOwned = entry->descriptionOwned;
        if (hold) {
            held.push_back(std::move(entry));
            return true;
        }
        model_->Receive(tab, std::move(entry), QTime(12, 34, 56, 7));
        return true;
    }
    bool refuse = false;
    bool hold = false;
    std::vector<std::unique_ptr<JournalEntry>> held;
    const char16_t* lastEventText = nullptr;
    const char16_t* lastDescription = nullptr;
    bool lastDescriptionOwned = false;

private:
    shell::JournalPanelModel* model_;
};

class StatusBarSpy : public shell::CameraStatusBar {
public:
    bool CameraRunning() const override { return running; }
    void ShowEvent(const QString& text, int iconKind) override {
        shownText = text;
        shownIcon = iconKind;
        ++shown;
    }
    bool running = false;
    QString shownText;
    int shownIcon = -1;
    int shown = 0;
};

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override { shell::SetJournalSink(&sink_); }
    void TearDown() override { shell::SetJournalSink(nullptr); }

    StatusBarSpy statusBar_;
    shell::JournalPanelModel model_{&statusBar_};
    ModelSink sink_{&model_};
};

TEST_F(JournalTest, TabKeepsNewestFirstAndAtMost256Rows) {
    std::vector<QString> texts;
    for (int i = 0; i < 257; ++i) {
        texts.push_back(QString::number(i));
    }
    for (const QString& text : texts) {
        ASSERT_TRUE(shell::PostRecognitionJournal(0, u"Распознан", shell::JournalText(text), true));
    }
    const auto& rows = model_.Tab(JournalTab::Recognition).Rows();
    ASSERT_EQ(rows.size(), 256u);
    EXPECT_EQ(rows.front().description, "256");
    EXPECT_EQ(rows.back().description, "1");  // "0" was dropped
    EXPECT_EQ(rows.front().time, "12:34:56.007");
    EXPECT_TRUE(model_.Tab(JournalTab::Camera).Rows().empty());
}

TEST_F(JournalTest, CopyFlagsDecideWhoseStringTheEntryHolds) {
    sink_.hold = true;
    char16_t name[] = u"Вход";
    ASSERT_TRUE(shell::PostCameraJournal(3, u"Поток камеры стартован", name, 1, 1));
    EXPECT_EQ(sink_.lastDescription, name);
    EXPECT_FALSE(sink_.lastDescriptionOwned);

    ASSERT_TRUE(shell::PostCameraJournal(3, u"Поток камеры стартован", name, 1, 1, true));
    EXPECT_NE(sink_.lastDescription, name);
    EXPECT_TRUE(sink_.lastDescriptionOwned);

    // The caller changes its buffer before the tab receives the entries: only the copy keeps the
    // text it had when posted.
    name[0] = u'X';
    for (auto& entry : sink_.held) {
        model_.Receive(JournalTab::Camera, std::move(entry), QTime(0, 0));
    }
    const auto& rows = model_.Tab(JournalTab::Camera).Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].description, "Вход");
    EXPECT_EQ(rows[1].description, "Xход");
}

TEST_F(JournalTest, ActionRowsCarryNumberAndActionText) {
    const QString action = QStringLiteral("Скрипт a.js");
    ASSERT_TRUE(shell::PostActionJournal(4, u"Запуск скрипта", false, 7, shell::JournalText(action), true,
                                         u"описание", false));
    ASSERT_TRUE(shell::PostNotificationJournal(1, u"Соединение", false));
    const auto& row = model_.Tab(JournalTab::Actions).Rows().at(0);
    EXPECT_EQ(row.iconKind, 4);
    EXPECT_EQ(row.eventText, "Запуск скрипта");
    EXPECT_EQ(row.actionNumber, "0007");
    EXPECT_EQ(row.actionText, "Скрипт a.js");
    EXPECT_EQ(row.description, "описание");
    EXPECT_EQ(model_.Tab(JournalTab::Notifications).Rows().at(0).eventText, "Management Server");
}

TEST_F(JournalTest, ClearDisablesUntilTheNextRow) {
    auto& tab = model_.Tab(JournalTab::Database);
    EXPECT_FALSE(tab.ClearEnabled());
    ASSERT_TRUE(shell::PostDatabaseJournal(0, u"База данных доступна", false, nullptr, false, 1));
    EXPECT_TRUE(tab.ClearEnabled());
    tab.Clear();
    EXPECT_TRUE(tab.Rows().empty());
    EXPECT_FALSE(tab.ClearEnabled());
    ASSERT_TRUE(shell::PostDatabaseJournal(0, u"База данных доступна", false, nullptr, false, -1));
    EXPECT_TRUE(tab.ClearEnabled());
    EXPECT_EQ(tab.Rows().size(), 1u);
}

TEST_F(JournalTest, DatabaseStateSelectsAndBlinksTheTabIcon) {
    EXPECT_EQ(model_.DatabaseTabIcon(), 0);
    ASSERT_TRUE(shell::PostDatabaseJournal(2, u"Ошибка соединения с сервером", false, nullptr, false, 3));
    EXPECT_EQ(model_.DatabaseState(), 3);
    std::vector<int> icons;
    for (int tick = 0; tick < 4; ++tick) {
        model_.TimerTick();
        icons.push_back(model_.DatabaseTabIcon());
    }
    EXPECT_EQ(icons, (std::vector<int>{0, 3, 0, 3}));

    // State -1 changes nothing: still blinking state 3.
    ASSERT_TRUE(shell::PostDatabaseJournal(2, u"Ошибка запроса версии базы данных", false, nullptr, false, -1));
    EXPECT_EQ(model_.DatabaseState(), 3);

    ASSERT_TRUE(shell::PostDatabaseJournal(0, u"База данных доступна", false, nullptr, false, 1));
    for (int tick = 0; tick < 3; ++tick) {
        model_.TimerTick();
        EXPECT_EQ(model_.DatabaseTabIcon(), 1);
    }
    ASSERT_TRUE(shell::PostDatabaseJournal(0, u"?", false, nullptr, false, 7));
    EXPECT_EQ(model_.DatabaseTabIcon(), 0);
}

TEST_F(JournalTest, CameraEntriesReachTheStatusBarOnlyWhileRunning) {
    ASSERT_TRUE(shell::PostCameraJournal(2, u"Ошибка открытия камеры", nullptr, 1, 3));
    EXPECT_EQ(statusBar_.shown, 0);
    EXPECT_EQ(model_.Tab(JournalTab::Camera).Rows().size(), 1u);

    statusBar_.running = true;
    ASSERT_TRUE(shell::PostCameraJournal(0, u"Разрешение камеры", u"640x480", 0, 0));
    EXPECT_EQ(statusBar_.shown, 0);  // status-bar flag clear
    ASSERT_TRUE(shell::PostCameraJournal(2, u"Ошибка открытия камеры", nullptr, 1, 3));
    EXPECT_EQ(statusBar_.shownText, "Ошибка открытия камеры");
    EXPECT_EQ(statusBar_.shownIcon, 3);
    ASSERT_TRUE(shell::PostCameraJournal(4, u"Поток камеры остановлен", nullptr, 1, 9));
    EXPECT_EQ(statusBar_.shownIcon, 0);
}

TEST_F(JournalTest, RefusedOrMissingDeliveryFailsThePost) {
    sink_.refuse = true;
    EXPECT_FALSE(shell::PostRecognitionJournal(0, u"Распознан", u"x", true));
    shell::SetJournalSink(nullptr);
    EXPECT_FALSE(shell::PostNotificationJournal(0, u"x", false));
    EXPECT_TRUE(model_.Tab(JournalTab::Recognition).Rows().empty());
}

TEST(JournalTimeText, PadsEveryField) {
    EXPECT_EQ(shell::JournalTimeText(QTime(1, 2, 3, 4)), "01:02:03.004");
    EXPECT_EQ(shell::JournalTimeText(QTime(23, 59, 59, 999)), "23:59:59.999");
}

}  // namespace
