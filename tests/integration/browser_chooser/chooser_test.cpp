// The person chooser against real databases of both providers, on the offscreen platform.

#include "app/browser/person_list_model.h"
#include "app/ui/person_chooser.h"
#include "app/ui/person_list_panel.h"
#include "app/ui/person_search_window.h"

#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace dbtest {
namespace {

using database::DbSession;

QByteArray PngBytes(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Runs `step` on the modal dialog of that type once the event loop that shows it is running.
template <typename Dialog>
void WhenShown(std::function<void(Dialog&)> step) {
    QTimer::singleShot(0, [step] {
        auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        step(*dialog);
    });
}

void Trigger(QWidget& dialog, const QString& action) {
    QAction* found = dialog.findChild<QAction*>(action);
    ASSERT_NE(found, nullptr) << action.toStdString();
    found->trigger();
}

class ChooserTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        connection_.Open(db_->ConnectionString());
        session_ = std::make_unique<DbSession>(
            DbSession{connection_, dialogs_, dialogs_, db_->ConnectionString(), journal_.Journal()});
        green_ = AddPerson(connection_, QStringLiteral("Зеленов"), 0);
        red_ = AddPerson(connection_, QStringLiteral("краснов"), 1, 0);
        gray_ = AddPerson(connection_, QStringLiteral("Серов"), 2);
        AddSample(connection_, red_, DescriptorBytes(1));
        Exec(connection_, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?, ?)"),
             {red_, PngBytes(300, 200)});
        Exec(connection_, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?, ?)"),
             {red_, PngBytes(100, 400)});
        // Bytes that are no picture are left out of the strip.
        Exec(connection_, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?, ?)"),
             {red_, QByteArray("not a picture")});
    }

    LogCapture log_;
    JournalRecorder journal_;
    ScriptedDialogs dialogs_;
    database::DbConnection connection_;
    std::unique_ptr<DbSession> session_;
    int green_ = 0;
    int red_ = 0;
    int gray_ = 0;
};

TEST_P(ChooserTest, ListsEveryPersonShowsDetailsAndChooses) {
    bool checked = false;
    WhenShown<ui::PersonChooserDialog>([&](ui::PersonChooserDialog& chooser) {
        EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Выбор персоны для сохранения образцов"));
        EXPECT_TRUE(chooser.windowState().testFlag(Qt::WindowMaximized));
        EXPECT_EQ(chooser.minimumSize(), QSize(800, 600));
        EXPECT_EQ(chooser.List().Model().RowCount(), 3u);
        EXPECT_FALSE(chooser.findChild<QAction*>(QStringLiteral("chooserOk"))->isEnabled());
        QStringList tools;
        for (const QToolButton* tool : chooser.findChildren<QToolButton*>()) tools.append(tool->text());
        EXPECT_TRUE(tools.contains(QStringLiteral("Новая персона..."))) << tools.join(u'|').toStdString();

        // The search window works on the chooser's list.
        Trigger(chooser, QStringLiteral("chooserSearch"));
        ui::PersonSearchWindow& search = chooser.SearchWindow();
        EXPECT_TRUE(search.isVisible());
        search.findChild<QLineEdit*>(QStringLiteral("searchSurname"))->setText(QStringLiteral("КР*"));
        search.findChild<QPushButton*>(QStringLiteral("searchFromTop"))->click();
        ASSERT_NE(chooser.List().Selected(), nullptr);
        EXPECT_EQ(chooser.List().Selected()->personId, red_);

        EXPECT_TRUE(chooser.findChild<QAction*>(QStringLiteral("chooserOk"))->isEnabled());
        QStringList shown;
        for (QLineEdit* edit : chooser.findChildren<QLineEdit*>()) {
            if (edit->isReadOnly()) shown.append(edit->text());
        }
        EXPECT_TRUE(shown.contains(QStringLiteral("краснов")));
        EXPECT_TRUE(shown.contains(QStringLiteral("Женский")));
        const auto photos =
            chooser.findChildren<QLabel*>(QStringLiteral("Vektra:OSTROVID_V2:CHOOSE:PERSON:PHOTO:ITEM"));
        ASSERT_EQ(photos.size(), 2);
        const auto* viewport =
            chooser.findChild<QScrollArea*>(QStringLiteral("Vektra:OSTROVID_V2:CHOOSE:PERSON:PHOTO:VIEWPORT"));
        ASSERT_NE(viewport, nullptr);
        EXPECT_LT(photos[0]->pixmap().height(), viewport->height());
        EXPECT_GT(photos[0]->pixmap().width(), photos[0]->pixmap().height());  // aspect kept

        chooser.List().SelectPerson(gray_);
        EXPECT_TRUE(
            chooser.findChildren<QLabel*>(QStringLiteral("Vektra:OSTROVID_V2:CHOOSE:PERSON:PHOTO:ITEM")).empty());
        chooser.List().SelectPerson(red_);
        checked = true;
        Trigger(chooser, QStringLiteral("chooserOk"));
    });
    const std::optional<database::PersonRecord> chosen = ui::ChoosePerson(nullptr, *session_);
    EXPECT_TRUE(checked);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->personId, red_);
    EXPECT_EQ(chosen->sampleCount, 1);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join(u'|').toStdString();
}

TEST_P(ChooserTest, ANewPersonIsChosenAtOnceWithoutAJournalLine) {
    WhenShown<ui::PersonChooserDialog>([&](ui::PersonChooserDialog& chooser) {
        WhenShown<QDialog>([](QDialog& form) {
            form.findChild<QLineEdit*>(QStringLiteral("surname"))->setText(QStringLiteral("Новиков"));
            form.findChild<QPushButton*>(QStringLiteral("ok"))->click();
        });
        Trigger(chooser, QStringLiteral("chooserNewPerson"));
    });
    const database::PersonChooser chooser =
        ui::SnapshotPersonChooser(nullptr, dialogs_, dialogs_, db_->ConnectionString(), journal_.Journal());
    const std::optional<database::ChosenPerson> chosen = chooser(connection_);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->name.surname, QStringLiteral("Новиков"));
    EXPECT_EQ(chosen->sampleCount, 0);
    EXPECT_EQ(QueryInt(connection_, QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS")), 4);
    EXPECT_TRUE(journal_.Entries().empty());
}

TEST_P(ChooserTest, CloseCancels) {
    WhenShown<ui::PersonChooserDialog>([](ui::PersonChooserDialog& chooser) {
        chooser.List().SelectPerson(chooser.List().Model().Row(0).personId);
        Trigger(chooser, QStringLiteral("chooserClose"));
    });
    EXPECT_FALSE(ui::ChoosePerson(nullptr, *session_).has_value());
    WhenShown<ui::PersonChooserDialog>([](ui::PersonChooserDialog& chooser) { chooser.close(); });
    EXPECT_FALSE(ui::ChoosePerson(nullptr, *session_).has_value());
}

INSTANTIATE_TEST_SUITE_P(Providers, ChooserTest,
                         ::testing::Values(database::DbProvider::SQLite, database::DbProvider::PostgreSQL),
                         ProviderTestName);

}  // namespace
}  // namespace dbtest
