#include "app/shell/journal.h"
#include "app/shell/journal_model.h"

#include <gtest/gtest.h>

#include <QTime>

#include <vector>

namespace {

using namespace shell::literals;
using shell::CameraIcon;
using shell::DatabaseIcon;
using shell::DatabaseState;
using shell::JournalEntry;
using shell::JournalTab;
using shell::StatusBar;
using shell::StatusIcon;

// Delivers straight into a panel model, as the tab windows will on the user-interface thread,
// and remembers where the last entry's event text lives so tests can see whether it was copied.
class ModelSink : public shell::JournalSink {
public:
    explicit ModelSink(shell::JournalPanelModel* model) : model_(model) {}
    bool Deliver(JournalTab tab, std::unique_ptr<JournalEntry> entry) override {
        if (refuse) {
            return false;
        }
        lastEventText = entry->eventText.constData();
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
    const QChar* lastEventText = nullptr;

private:
    shell::JournalPanelModel* model_;
};

class StatusBarSpy : public shell::CameraStatusBar {
public:
    bool CameraRunning() const override { return running; }
    void ShowEvent(const QString& text, StatusIcon icon) override {
        shownText = text;
        shownIcon = icon;
        ++shown;
    }
    bool running = false;
    QString shownText;
    StatusIcon shownIcon = StatusIcon::ServerIdle;
    int shown = 0;
};

class JournalTest : public ::testing::Test {
protected:
    StatusBarSpy statusBar_;
    shell::JournalPanelModel model_{&statusBar_};
    ModelSink sink_{&model_};
    shell::Journal journal_{&sink_};
};

TEST_F(JournalTest, TabKeepsNewestFirstAndAtMost256Rows) {
    std::vector<QString> texts;
    for (int i = 0; i < 257; ++i) {
        texts.push_back(QString::number(i));
    }
    for (const QString& text : texts) {
        ASSERT_TRUE(journal_.PostRecognition(shell::RecognitionIcon::WhiteList, u"Распознан"_jt, text));
    }
    const auto& rows = model_.Tab(JournalTab::Recognition).Rows();
    ASSERT_EQ(rows.size(), 256u);
    EXPECT_EQ(rows.front().description, "256");
    EXPECT_EQ(rows.back().description, "1");  // "0" was dropped
    EXPECT_EQ(rows.front().time, "12:34:56.007");
    EXPECT_TRUE(model_.Tab(JournalTab::Camera).Rows().empty());
}

// A literal is referenced where it lies; any other text is the entry's own, whatever its poster
// does with its string afterwards.
TEST_F(JournalTest, CopyFlagsDecideWhoseStringTheEntryHolds) {
    sink_.hold = true;
    const QString started = u"Поток камеры стартован"_jt;
    QString name = QStringLiteral("Вход");
    ASSERT_TRUE(journal_.PostCamera(CameraIcon::ThreadStarted, started, name, StatusBar::Show, StatusIcon::Working));
    EXPECT_EQ(sink_.lastEventText, started.constData());  // the literal itself

    // The poster changes its string before the tab receives the entries.
    name[0] = u'X';
    ASSERT_TRUE(journal_.PostCamera(CameraIcon::ThreadStarted, started, name, StatusBar::Show, StatusIcon::Working));
    name[1] = u'Y';
    for (auto& entry : sink_.held) {
        model_.Receive(JournalTab::Camera, std::move(entry), QTime(0, 0));
    }
    const auto& rows = model_.Tab(JournalTab::Camera).Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].description, "Xход");
    EXPECT_EQ(rows[1].description, "Вход");
    EXPECT_EQ(rows[1].eventText, "Поток камеры стартован");
}

TEST_F(JournalTest, ActionRowsCarryNumberAndActionText) {
    const QString action = QStringLiteral("Скрипт a.js");
    ASSERT_TRUE(journal_.PostAction(shell::ActionIcon::ScriptStarted, u"Запуск скрипта"_jt, 7, action, u"описание"_jt));
    ASSERT_TRUE(journal_.PostNotification(shell::NotificationIcon::Warning, u"Соединение"_jt));
    const auto& row = model_.Tab(JournalTab::Actions).Rows().at(0);
    EXPECT_EQ(row.icon, shell::EntryIcon(shell::ActionIcon::ScriptStarted));
    EXPECT_EQ(row.eventText, "Запуск скрипта");
    EXPECT_EQ(row.actionNumber, "0007");
    EXPECT_EQ(row.actionText, "Скрипт a.js");
    EXPECT_EQ(row.description, "описание");
    EXPECT_EQ(model_.Tab(JournalTab::Notifications).Rows().at(0).eventText, "Management Server");
}

TEST_F(JournalTest, ClearDisablesUntilTheNextRow) {
    auto& tab = model_.Tab(JournalTab::Database);
    EXPECT_FALSE(tab.ClearEnabled());
    ASSERT_TRUE(
        journal_.PostDatabase(DatabaseIcon::Info, u"База данных доступна"_jt, QString(), DatabaseState::Available));
    EXPECT_TRUE(tab.ClearEnabled());
    tab.Clear();
    EXPECT_TRUE(tab.Rows().empty());
    EXPECT_FALSE(tab.ClearEnabled());
    ASSERT_TRUE(
        journal_.PostDatabase(DatabaseIcon::Info, u"База данных доступна"_jt, QString(), DatabaseState::Unchanged));
    EXPECT_TRUE(tab.ClearEnabled());
    EXPECT_EQ(tab.Rows().size(), 1u);
}

TEST_F(JournalTest, DatabaseStateSelectsAndBlinksTheTabIcon) {
    EXPECT_EQ(model_.DatabaseTabIcon(), 0);
    ASSERT_TRUE(journal_.PostDatabase(DatabaseIcon::Error, u"Ошибка соединения с сервером"_jt, QString(),
                                      DatabaseState::Error));
    EXPECT_EQ(model_.DatabaseState(), DatabaseState::Error);
    std::vector<int> icons;
    for (int tick = 0; tick < 4; ++tick) {
        model_.TimerTick();
        icons.push_back(model_.DatabaseTabIcon());
    }
    EXPECT_EQ(icons, (std::vector<int>{0, 3, 0, 3}));

    // State -1 changes nothing: still blinking state 3.
    ASSERT_TRUE(journal_.PostDatabase(DatabaseIcon::Error, u"Ошибка запроса версии базы данных"_jt, QString(),
                                      DatabaseState::Unchanged));
    EXPECT_EQ(model_.DatabaseState(), DatabaseState::Error);

    ASSERT_TRUE(
        journal_.PostDatabase(DatabaseIcon::Info, u"База данных доступна"_jt, QString(), DatabaseState::Available));
    for (int tick = 0; tick < 3; ++tick) {
        model_.TimerTick();
        EXPECT_EQ(model_.DatabaseTabIcon(), 1);
    }
    ASSERT_TRUE(journal_.PostDatabase(DatabaseIcon::Info, u"?"_jt, QString(), DatabaseState::Unknown));
    EXPECT_EQ(model_.DatabaseTabIcon(), 0);
}

TEST_F(JournalTest, CameraEntriesReachTheStatusBarOnlyWhileRunning) {
    ASSERT_TRUE(journal_.PostCamera(CameraIcon::Error, u"Ошибка открытия камеры"_jt, QString(), StatusBar::Show,
                                    StatusIcon::Error));
    EXPECT_EQ(statusBar_.shown, 0);
    EXPECT_EQ(model_.Tab(JournalTab::Camera).Rows().size(), 1u);

    statusBar_.running = true;
    ASSERT_TRUE(journal_.PostCamera(CameraIcon::Info, u"Разрешение камеры"_jt, u"640x480"_jt, StatusBar::Leave,
                                    StatusIcon::None));
    EXPECT_EQ(statusBar_.shown, 0);
    ASSERT_TRUE(journal_.PostCamera(CameraIcon::Error, u"Ошибка открытия камеры"_jt, QString(), StatusBar::Show,
                                    StatusIcon::Error));
    EXPECT_EQ(statusBar_.shownText, "Ошибка открытия камеры");
    EXPECT_EQ(statusBar_.shownIcon, StatusIcon::Error);
    // The management server's icons are not the camera's: the part shows none.
    ASSERT_TRUE(journal_.PostCamera(CameraIcon::ThreadStopped, u"Поток камеры остановлен"_jt, QString(),
                                    StatusBar::Show, StatusIcon::ServerIdle));
    EXPECT_EQ(statusBar_.shownIcon, StatusIcon::None);
}

TEST_F(JournalTest, RefusedOrMissingDeliveryFailsThePost) {
    sink_.refuse = true;
    EXPECT_FALSE(journal_.PostRecognition(shell::RecognitionIcon::ModelSet, u"Распознан"_jt, u"x"_jt));
    journal_.Attach(nullptr);
    EXPECT_FALSE(journal_.PostNotification(shell::NotificationIcon::Information, u"x"_jt));
    EXPECT_TRUE(model_.Tab(JournalTab::Recognition).Rows().empty());
}

TEST(JournalTimeText, PadsEveryField) {
    EXPECT_EQ(shell::JournalTimeText(QTime(1, 2, 3, 4)), "01:02:03.004");
    EXPECT_EQ(shell::JournalTimeText(QTime(23, 59, 59, 999)), "23:59:59.999");
}

}  // namespace
