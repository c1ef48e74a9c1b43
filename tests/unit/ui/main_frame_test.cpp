// The main frame as the operator sees it, on the offscreen platform: window names, menu and
// journal texts, entries and results posted as events, the model-loading messages, the camera
// choice, the splitters and the creation and stop sequences.

#include "app/ui/main_frame.h"
#include "app/recognition/recognized_data_event.h"
#include "app/recognition/state_request.h"
#include "app/shell/journal.h"
#include "app/ui/camera_panel.h"
#include "app/ui/event_panel.h"
#include "app/ui/recognized_page.h"
#include "app/ui/right_panel.h"
#include "app/ui/settings_saver.h"
#include "app/ui/splash_windows.h"
#include "app/ui/split_pane.h"
#include "app/ui/status_parts.h"
#include "app/ui/window_title.h"
#include "app/viewport/viewport_services.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/settings_state.h"
#include "tests/support/worker_result.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace shell::literals;
using shell::JournalTab;

struct FakeLifecycle : shell::FrameLifecycle {
    bool StartServiceThreads() override {
        calls.push_back("service");
        return serviceOk;
    }
    bool StartDataThreads() override {
        calls.push_back("data");
        return dataOk;
    }
    void SignalTermination() override {}
    void StopThreads() override {
        calls.push_back("stop");
        WriteLog(QStringLiteral("threads stopped"));
    }
    std::vector<std::string> calls;
    bool serviceOk = true;
    bool dataOk = true;
};

struct RecordingSaver : ui::SettingsSaver {
    bool SaveWindowPos(const settings::WindowPos& p) override {
        return Add(QStringLiteral("pos %1 %2 %3 %4").arg(p.ScreenX).arg(p.ScreenY).arg(p.Width).arg(p.Height));
    }
    bool SaveMaximized(int32_t m) override { return Add(QStringLiteral("maximized %1").arg(m)); }
    bool SavePanelDivProportion(double p) override { return Add(QStringLiteral("panel %1").arg(p)); }
    bool SaveLeftPanelDivProportion(double p) override { return Add(QStringLiteral("left %1").arg(p)); }
    bool SaveCameraViewFeatures(const settings::CameraViewFeatures& f) override {
        return Add(QStringLiteral("framed %1").arg(f.FramedFace));
    }
    bool SaveCurrentCameraIndex(int32_t i) override { return Add(QStringLiteral("camera %1").arg(i)); }
    bool Add(const QString& s) {
        saves.push_back(s);
        return true;
    }
    std::vector<QString> saves;
};

struct RecordingServices : viewport::ViewportServices {
    void PersonRecognized(const recognition::RecognitionReport& r) override { recognized.push_back(r.personId); }
    void DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& i) override {
        actions.push_back(i.personId);
    }
    std::vector<uint32_t> recognized;
    std::vector<uint32_t> actions;
};

void Pump(int ms = 20) { QTest::qWait(ms); }

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        logPath = dir.filePath(QStringLiteral("Ostrovid.log"));
        platform::SetLogFile(logPath, dir.filePath(QStringLiteral("Ostrovid1.log")));
        settings::SettingsState s;
        s.windowPos = {10, 10, 850, 650};
        s.PanelDivProportion = 0.35;
        s.LeftPanelDivProportion = 0.5;
        s.cameraList.Count = 2;
        for (int i = 0; i < 2; ++i) {
            settings::CameraDescriptor& c = s.cameraList.Cameras[i];
            c.InUse = 1;
            c.Type = 0;
            c.Source.Web.CaptureDeviceNumber = 77 + i;  // no such video device
        }
        platform::CopyToFixed(s.cameraList.Cameras[0].Name, u"Вход");
        platform::CopyToFixed(s.cameraList.Cameras[1].Name, u"Выход");
        s.CurrentCameraIndex = -1;
        s.viewFeatures.FramedFace = 1;
        s.recognition.MaxSubject = 8;
        s.recognition.AssuranceDistance = 35;
        s.recognition.LikelyDistance = 40;
        s.recognition.RepeatForRecognition = 1;
        s.recognition.RememberRecognized = 1;
        s.camerasExt.WaitConnectionTime = 60;
        hub.Publish(s);
    }
    void TearDown() override {
        frame.reset();
        platform::SetLogFile(QString(), QString());
    }

    ui::MainFrame& Make() {
        ui::MainFrameParts parts;
        parts.detect = [](const cv::Mat&, int) { return std::vector<recognition::FrameFace>{}; };
        parts.dispatch = [](const cv::Mat&, std::span<recognition::DispatchSubject* const>, double) {};
        parts.services = &services;
        parts.saver = &saver;
        parts.recognizedSink = &sink;
        parts.wakeDatabaseCheck = [this] { ++dbWakes; };
        frame = std::make_unique<ui::MainFrame>(lifecycle, journal, hub, std::move(parts));
        return *frame;
    }
    ui::MainFrame& Created() {
        Make();
        EXPECT_TRUE(frame->Create());
        Pump();
        return *frame;
    }

    QString Log() const {
        QFile file(logPath);
        if (!file.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = file.readAll();
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    }

    // Changes the running settings as the settings sheet or another part would.
    void Change(const std::function<void(settings::SettingsState&)>& change) { hub.Update(change); }
    settings::SettingsSnapshot Running() const { return hub.Snapshot(); }

    QTemporaryDir dir;
    QString logPath;
    settings::SettingsHub hub;
    FakeLifecycle lifecycle;
    shell::Journal journal;
    RecordingSaver saver;
    RecordingServices services;
    recognition::PostingRecognizedDataSink sink;
    int dbWakes = 0;
    std::unique_ptr<ui::MainFrame> frame;
};

TEST_F(Frame, WindowsCarryTheirClassNamesAndTheMenuItsTexts) {
    ui::MainFrame& f = Created();
    EXPECT_EQ(f.objectName(), QStringLiteral("Vektra:OSTROVID_V2:FRAME"));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Vektra Ostrovid v.2.2.0"));
    for (const char* name :
         {"Vektra:OSTROVID_V2:PAD", "Vektra:OSTROVID_V2:LEFT:PANEL", "Vektra:OSTROVID_V2:CAMERA:PANEL",
          "Vektra:OSTROVID_V2:EVENTPANEL", "Vektra:OSTROVID_V2:CAMERA:EVENT:PAD", "Vektra:OSTROVID_V2:DB:EVENT:PAD",
          "Vektra:OSTROVID_V2:RECOGNITION:EVENT:PAD", "Vektra:OSTROVID_V2:ACTION:EVENT:PAD",
          "Vektra:OSTROVID_V2:NOTIFICATION:EVENT:PAD", "Vektra:OSTROVID_V2:CAMERA:VIEWPORT",
          "Vektra:OSTROVID_V2:RIGHT:PANEL", "OstrovidWorkCamera"}) {
        EXPECT_NE(f.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    // The picture window lives inside the viewport and stays hidden until the first frame.
    auto* picture = f.findChild<QWidget*>(QStringLiteral("OstrovidWorkCamera"));
    EXPECT_EQ(picture->parentWidget()->objectName(), QStringLiteral("Vektra:OSTROVID_V2:CAMERA:VIEWPORT"));
    EXPECT_TRUE(picture->isHidden());

    const std::pair<int, const char16_t*> menu[] = {{40001, u"&Настройки..."},  {40003, u"&О программе..."},
                                                    {40004, u"&Выход\tAlt+F4"}, {40005, u"Стар&т"},
                                                    {40006, u"Сто&п"},          {40007, u"&Обрамление лиц"},
                                                    {40008, u"&Снимок"},        {40009, u"&Смотреть/редактировать"}};
    for (const auto& [command, text] : menu) {
        ASSERT_NE(f.Action(command), nullptr) << command;
        EXPECT_EQ(f.Action(command)->text(), QString::fromUtf16(text));
    }
    const std::pair<int, const char16_t*> buttons[] = {{40010, u"Камера..."},      {40005, u"Старт"},
                                                       {40006, u"Стоп"},           {40008, u"Снимок"},
                                                       {40009, u"База данных..."}, {40001, u"Настройки..."}};
    for (const auto& [command, text] : buttons) {
        auto* button = f.findChild<QToolButton*>(QString::number(command));
        ASSERT_NE(button, nullptr) << command;
        EXPECT_EQ(button->text(), QString::fromUtf16(text));
    }
    EXPECT_EQ(f.ChooseCameraButton()->toolTip(), QStringLiteral("Выбор текущей камеры..."));
    // Nothing chosen yet: the camera can be chosen but not started; no database configured.
    EXPECT_TRUE(f.Action(40006) != nullptr && !f.Action(40006)->isEnabled());
    EXPECT_FALSE(f.Action(40005)->isEnabled());
    EXPECT_FALSE(f.Action(40009)->isEnabled());
    EXPECT_FALSE(f.Action(40008)->isEnabled());
    EXPECT_TRUE(f.ChooseCameraButton()->isEnabled());
    EXPECT_TRUE(f.Action(40007)->isChecked());
    EXPECT_EQ(f.CameraPanel()->Status()->Text(0), QStringLiteral("Камера не выбрана"));
}

TEST_F(Frame, TheDemonstrationSaysSoInTheTitleAndHowToLeaveIt) {
    ::setenv("OSTROVID_DEMO", "1", 1);
    ui::MainFrame& f = Created();
    ::unsetenv("OSTROVID_DEMO");
    EXPECT_TRUE(f.windowTitle().startsWith(QStringLiteral("Vektra Ostrovid v.2.2.0 — демонстрация")))
        << f.windowTitle().toStdString();
    EXPECT_TRUE(f.windowTitle().contains(QStringLiteral("./run.sh --no-demo")));
    // "0" is how a script switches the mark off without unsetting it.
    ::setenv("OSTROVID_DEMO", "0", 1);
    EXPECT_EQ(ui::MainWindowTitle(ui::PresentationFromEnvironment()), QStringLiteral("Vektra Ostrovid v.2.2.0"));
    ::unsetenv("OSTROVID_DEMO");
}

TEST_F(Frame, JournalTabsHaveTheirCaptionsAndColumns) {
    ui::MainFrame& f = Created();
    QTabWidget* tabs = f.Events()->Tabs();
    ASSERT_EQ(tabs->count(), 5);
    const char16_t* captions[] = {u"Камера", u"База данных", u"Распознавание", u"Действия", u"Нотификации"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tabs->tabText(i), QString::fromUtf16(captions[i]));
    EXPECT_EQ(tabs->currentIndex(), 0);

    auto headers = [&](JournalTab tab) {
        QStringList out;
        QTableWidget* list = f.Events()->Pad(tab)->List();
        for (int c = 0; c < list->columnCount(); ++c)
            out << QStringLiteral("%1 %2").arg(list->horizontalHeaderItem(c)->text()).arg(list->columnWidth(c));
        return out.join(QLatin1Char('|'));
    };
    EXPECT_EQ(headers(JournalTab::Camera), QStringLiteral("Время 90|Событие 170|Описание 220"));
    EXPECT_EQ(headers(JournalTab::Database), QStringLiteral("Время 90|Событие 200|Описание 220"));
    EXPECT_EQ(headers(JournalTab::Recognition), QStringLiteral("Время 90|Событие 200|Описание 220"));
    EXPECT_EQ(headers(JournalTab::Actions), QStringLiteral("Время 90|Событие 140|Действие 150|№ 45|Описание 220"));
    EXPECT_EQ(headers(JournalTab::Notifications), QStringLiteral("Время 90|Источник 130|Описание 260"));
    for (int i = 0; i < 5; ++i) {
        QToolButton* clear = f.Events()->Pad(JournalTab(i))->ClearButton();
        EXPECT_EQ(clear->text(), QStringLiteral("Очистить"));
        EXPECT_EQ(clear->width(), 90);
        EXPECT_FALSE(clear->isEnabled());
    }
}

TEST_F(Frame, PostedEntriesShowNewestFirstCappedAndClearable) {
    ui::MainFrame& f = Created();
    for (int i = 0; i < 257; ++i) {
        const QString text = QStringLiteral("запись %1").arg(i);
        ASSERT_TRUE(journal.PostCamera(shell::CameraIcon::ThreadStarted, u"Поток камеры стартован"_jt, text,
                                       shell::StatusBar::Show, shell::StatusIcon::Working));
    }
    // From another thread, like the workers.
    std::thread([this] {
        journal.PostAction(shell::ActionIcon::CsvWritten, u"Запись в CSV файл"_jt, 7, u"CSV"_jt, u"готово"_jt);
    }).join();
    journal.PostNotification(shell::NotificationIcon::Warning, u"Клиент подключён"_jt);
    journal.PostDatabase(shell::DatabaseIcon::Error, u"Ошибка соединения с сервером"_jt, u"нет связи"_jt,
                         shell::DatabaseState::Error);
    QTableWidget* camera = f.Events()->Pad(JournalTab::Camera)->List();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return f.JournalDatabaseState() == shell::DatabaseState::Error && camera->rowCount() == 256; }, 5000));
    ASSERT_EQ(camera->rowCount(), 256);
    EXPECT_EQ(camera->item(0, 1)->text(), QStringLiteral("Поток камеры стартован"));
    EXPECT_EQ(camera->item(0, 2)->text(), QStringLiteral("запись 256"));
    EXPECT_EQ(camera->item(255, 2)->text(), QStringLiteral("запись 1"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"))
                    .match(camera->item(0, 0)->text())
                    .hasMatch());
    // No camera runs: the camera panel's status bar is left alone.
    EXPECT_EQ(f.CameraPanel()->Status()->Text(0), QStringLiteral("Камера не выбрана"));

    QTableWidget* actions = f.Events()->Pad(JournalTab::Actions)->List();
    ASSERT_EQ(actions->rowCount(), 1);
    EXPECT_EQ(actions->item(0, 1)->text(), QStringLiteral("Запись в CSV файл"));
    EXPECT_EQ(actions->item(0, 2)->text(), QStringLiteral("CSV"));
    EXPECT_EQ(actions->item(0, 3)->text(), QStringLiteral("0007"));
    EXPECT_EQ(actions->item(0, 4)->text(), QStringLiteral("готово"));
    QTableWidget* notifications = f.Events()->Pad(JournalTab::Notifications)->List();
    ASSERT_EQ(notifications->rowCount(), 1);
    EXPECT_EQ(notifications->item(0, 1)->text(), QStringLiteral("Management Server"));
    EXPECT_EQ(static_cast<const database::MainFrameSink&>(f).JournalDatabaseState(), shell::DatabaseState::Error);

    QToolButton* clear = f.Events()->Pad(JournalTab::Camera)->ClearButton();
    ASSERT_TRUE(clear->isEnabled());
    clear->click();
    EXPECT_EQ(camera->rowCount(), 0);
    EXPECT_FALSE(clear->isEnabled());
    journal.PostCamera(shell::CameraIcon::ThreadStopped, u"Поток камеры остановлен"_jt, u"Вход"_jt,
                       shell::StatusBar::Leave, shell::StatusIcon::None);
    Pump();
    EXPECT_EQ(camera->rowCount(), 1);
    EXPECT_TRUE(clear->isEnabled());
}

using testsupport::WorkerResult;

TEST_F(Frame, AResultPostedByAWorkerIsAnnouncedOncePerPerson) {
    ui::MainFrame& f = Created();
    // Delivered through the workers' sink, from a worker thread; the subject has vanished
    // already, and one sure result is enough.
    std::thread([this] { EXPECT_TRUE(sink.Deliver(3, WorkerResult(4242, 7, 0.2f))); }).join();
    QTableWidget* journal = f.Events()->Pad(JournalTab::Recognition)->List();
    EXPECT_TRUE(QTest::qWaitFor([&] { return journal->rowCount() > 0; }, 5000));
    ASSERT_EQ(f.RecognizedList().Size(), 1u);
    EXPECT_EQ(f.RecognizedList().At(0).personId, 7u);
    EXPECT_EQ(services.recognized, std::vector<uint32_t>{7});
    EXPECT_EQ(services.actions, std::vector<uint32_t>{7});
    QListView* list = f.RightPanel()->Recognized()->View();
    ASSERT_EQ(list->model()->rowCount(), 1);
    const QString shown = list->model()->index(0, 0).data().toString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("\t80.0%\tИванов Пётр"))) << shown.toStdString();
    EXPECT_FALSE(f.RecognizedList().At(0).thumbnail.empty());
    // Its page is shown: the tab does not blink.
    EXPECT_FALSE(f.RightPanel()->Blink().Blinking(ui::RightTab::Recognized));
    ASSERT_EQ(journal->rowCount(), 1);
    EXPECT_EQ(journal->item(0, 1)->text(), QStringLiteral("Распознан"));

    // The same person again within the remembering time: no second announcement.
    QCoreApplication::postEvent(&f.CameraPanel()->Viewport()->Live(),
                                new recognition::RecognizedDataEvent(1, WorkerResult(4243, 7, 0.2f)));
    Pump(50);
    EXPECT_EQ(f.RecognizedList().Size(), 1u);
    EXPECT_EQ(journal->rowCount(), 1);
    EXPECT_EQ(services.actions.size(), 1u);

    // Once the frame is gone the sink refuses, and the worker keeps the record to free.
    frame.reset();
    EXPECT_FALSE(sink.Deliver(0, WorkerResult(1, 2, 0.1f)));
}

TEST_F(Frame, AStateRequestFromAnotherThreadIsAnsweredAndNeverLeftWaiting) {
    ui::MainFrame& f = Created();
    auto request = std::make_shared<recognition::CameraStateRequest>();
    request->flags = recognition::CameraStateRequest::kWantPicture;
    std::thread session([&] {
        QCoreApplication::postEvent(&f.CameraPanel()->Viewport()->Live(), new recognition::StateRequestEvent(request));
    });
    session.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return request->completed.Wait(0); }, 5000));
    EXPECT_EQ(request->cameraRunning, 0);

    // Still queued when the viewport goes: the sender is released all the same.
    auto orphan = std::make_shared<recognition::CameraStateRequest>();
    QCoreApplication::postEvent(&f.CameraPanel()->Viewport()->Live(), new recognition::StateRequestEvent(orphan));
    frame.reset();
    EXPECT_TRUE(orphan->completed.Wait(0));
}

TEST_F(Frame, ALabelledSubjectCarriesALabelUntilItLeaves) {
    Change([](settings::SettingsState& s) { s.recognition.RepeatForRecognition = 3; });
    ui::MainFrame& f = Created();
    ui::ViewportWidget* viewport = f.CameraPanel()->Viewport();
    viewport->resize(320, 240);
    viewport->LayOutAgain(320, 240);
    recognition::SubjectTracker& tracker = viewport->Live().Tracker();
    const cv::Mat picture(240, 320, CV_8UC3, cv::Scalar::all(0));
    const recognition::FrameFace face{100, 80, 60, 60};
    const double now = 45000.0;
    tracker.Track(std::span(&face, 1), picture, now, {320, 240, 320, 240});
    ASSERT_EQ(tracker.Subjects().size(), 1u);
    const uint32_t id = tracker.Subjects()[0]->id;

    QCoreApplication::postEvent(&viewport->Live(), new recognition::RecognizedDataEvent(0, WorkerResult(id, 7, 0.2f)));
    Pump();
    const QLabel* label = viewport->Label(id);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("80.0% Иванов Пётр"));
    EXPECT_TRUE(label->isVisible());
    const QPoint origin = viewport->Picture()->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(label->pos(), origin + QPoint(100, 80 - 20));
    // One result of three: labelled, not yet announced.
    EXPECT_EQ(f.RecognizedList().Size(), 0u);
    EXPECT_TRUE(services.recognized.empty());

    // The face leaves the view: the subject and its label go.
    tracker.Track({}, picture, now + 1.0 / 86400, {320, 240, 320, 240});
    tracker.RemoveVanished(now + 1.0 / 86400, false);
    EXPECT_EQ(viewport->LabelCount(), 0u);
    EXPECT_EQ(viewport->Label(id), nullptr);
}

TEST_F(Frame, ARemovedEntryIsForgottenByItsSubject) {
    Change([](settings::SettingsState& s) { s.recognition.RepeatForRecognition = 1; });
    ui::MainFrame& f = Created();
    ui::ViewportWidget* viewport = f.CameraPanel()->Viewport();
    recognition::SubjectTracker& tracker = viewport->Live().Tracker();
    const cv::Mat picture(240, 320, CV_8UC3, cv::Scalar::all(0));
    const recognition::FrameFace face{100, 80, 60, 60};
    tracker.Track(std::span(&face, 1), picture, 45000.0, {320, 240, 320, 240});
    const uint32_t id = tracker.Subjects()[0]->id;
    QCoreApplication::postEvent(&viewport->Live(), new recognition::RecognizedDataEvent(0, WorkerResult(id, 7, 0.3f)));
    Pump();
    ASSERT_EQ(f.RecognizedList().Size(), 1u);
    ASSERT_NE(f.RecognizedList().Find(tracker.Find(id)->listEntry), nullptr);

    ui::RecognizedPage& page = *f.RightPanel()->Recognized();
    page.View()->setCurrentIndex(page.View()->model()->index(0, 0));
    page.RemoveButton()->click();
    EXPECT_EQ(f.RecognizedList().Size(), 0u);
    EXPECT_EQ(f.RecognizedList().Find(tracker.Find(id)->listEntry), nullptr);
    // A better picture later finds no entry to update.
    QCoreApplication::postEvent(&viewport->Live(), new recognition::RecognizedDataEvent(0, WorkerResult(id, 7, 0.1f)));
    Pump();
    EXPECT_EQ(f.RecognizedList().Size(), 0u);
}

TEST_F(Frame, ModelMessagesDriveStatusBarProgressAndLoadingWindow) {
    ui::MainFrame& f = Created();
    ASSERT_NE(f.LoadingWindow(), nullptr);
    EXPECT_TRUE(f.LoadingWindow()->isVisible());
    EXPECT_EQ(f.Status()->Text(2), QStringLiteral("Моделей: 0"));  // posted by the creation

    // The database check thread's view of the frame.
    database::MainFrameSink& check = f;
    std::thread([&check] {
        check.PassStarted(0);
        check.PersonsTotal(100);
        check.PersonsProgress(5, 100);
    }).join();
    Pump();
    EXPECT_EQ(f.Status()->Text(1), QStringLiteral("Загрузка моделей: 5 из 100"));
    EXPECT_TRUE(f.Progress()->isVisible());
    EXPECT_EQ(f.Progress()->maximum(), 100);
    EXPECT_EQ(f.Progress()->value(), 5);
    EXPECT_EQ(f.LoadingWindow()->Text(), QStringLiteral("Загрузка модели 5 из 100"));
    EXPECT_EQ(f.Progress()->geometry(), ui::ProgressBarRect(f.Status()->width(), f.Status()->height()));

    f.ApplyingChanges();
    f.ModelCount(42);
    Pump();
    EXPECT_EQ(f.LoadingWindow()->Text(), QStringLiteral("Создание рабочего набора моделей"));
    EXPECT_EQ(f.Status()->Text(2), QStringLiteral("Моделей: 42"));

    f.ModelLoadingDone();
    Pump();
    EXPECT_FALSE(f.LoadingWindow()->isVisible());
    EXPECT_FALSE(f.Progress()->isVisible());
    EXPECT_TRUE(f.Status()->Text(1).isEmpty());
    EXPECT_EQ(f.LoadingWindow()->Text(), QStringLiteral("Загрузка моделей. Ожидайте..."));

    // A reload shows the window again and wakes the database check.
    f.ReloadModels();
    Pump();
    EXPECT_TRUE(f.LoadingWindow()->isVisible());
    EXPECT_EQ(dbWakes, 1);
    f.PassStarted(1);
    f.PersonsProgress(2, 9);
    Pump();
    EXPECT_EQ(f.Status()->Text(1), QStringLiteral("Актуализация моделей: 2 из 9"));

    // "Закрыть" only hides it; the load goes on.
    auto* close = f.LoadingWindow()->findChild<QPushButton*>();
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("Закрыть"));
    close->click();
    EXPECT_FALSE(f.LoadingWindow()->isVisible());
    EXPECT_FALSE(f.ModelLoading().View().windowVisible);
    f.PersonsProgress(3, 9);
    Pump();
    EXPECT_FALSE(f.LoadingWindow()->isVisible());

    // Still queued when the frame goes: dropped with it.
    std::thread([&check] {
        check.ModelCount(7);
        check.ModelLoadingDone();
    }).join();
    frame.reset();
    Pump();
}

TEST_F(Frame, EndOfAVisibleLoadStartsTheCurrentCameraWhenConfigured) {
    Change([](settings::SettingsState& s) {
        s.CurrentCameraIndex = 0;
        s.camerasExt.AutoStartLastCamera = 1;
    });
    ui::MainFrame& f = Created();
    EXPECT_EQ(f.CameraPanel()->Title()->text(), QStringLiteral("Вход"));
    EXPECT_TRUE(f.Action(40005)->isEnabled());
    f.ModelLoadingDone();
    // The start was tried: the web camera does not exist.
    QTableWidget* camera = f.Events()->Pad(JournalTab::Camera)->List();
    EXPECT_TRUE(QTest::qWaitFor([&] { return camera->rowCount() > 0; }, 5000));
    ASSERT_EQ(camera->rowCount(), 1);
    EXPECT_EQ(camera->item(0, 1)->text(), QStringLiteral("Камера недоступна"));
    EXPECT_TRUE(Log().contains(QStringLiteral("Команда на старт камеры...")));

    // A periodic pass after that (window hidden) starts nothing.
    f.ModelLoadingDone();
    Pump(50);
    EXPECT_EQ(camera->rowCount(), 1);
}

TEST_F(Frame, ClosingRunsTheStopSequenceInOrderAndEndsTheLoop) {
    ui::MainFrame& f = Created();
    EXPECT_EQ(lifecycle.calls, (std::vector<std::string>{"service", "data"}));
    // The service watchdog's request, from its own thread, while the loop runs.
    QTimer::singleShot(0, [&f] { std::thread([&f] { f.PostClose(); }).join(); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(f.Destroyed());
    EXPECT_EQ(f.LoadingWindow(), nullptr);
    EXPECT_EQ(lifecycle.calls, (std::vector<std::string>{"service", "data", "stop"}));
    const QString log = Log();
    const qsizetype enter = log.indexOf(QStringLiteral("Destroy Enter."));
    const qsizetype stopped = log.indexOf(QStringLiteral("threads stopped"));
    const qsizetype exit = log.indexOf(QStringLiteral("Destroy Exit."));
    ASSERT_GE(enter, 0);
    EXPECT_LT(enter, stopped);
    EXPECT_LT(stopped, exit);
    // A second close does not stop anything twice.
    f.close();
    EXPECT_EQ(lifecycle.calls.size(), 3u);
}

TEST_F(Frame, AThreadThatCannotStartFailsCreationAfterStopping) {
    lifecycle.dataOk = false;
    ui::MainFrame& f = Make();
    EXPECT_FALSE(f.Create());
    EXPECT_EQ(lifecycle.calls, (std::vector<std::string>{"service", "data", "stop"}));
    EXPECT_EQ(f.LoadingWindow(), nullptr);
    EXPECT_TRUE(Log().contains(QStringLiteral("Destroy Exit.")));

    FakeLifecycle second;
    second.serviceOk = false;
    shell::Journal otherJournal;
    ui::MainFrame other(second, otherJournal, hub, {});
    EXPECT_FALSE(other.Create());
    EXPECT_EQ(second.calls, (std::vector<std::string>{"service", "stop"}));
}

TEST_F(Frame, CameraChoiceSavesSelectsAndDeselects) {
    ui::MainFrame& f = Created();
    QMetaObject::invokeMethod(f.CameraMenu(), "aboutToShow");
    QList<QAction*> items = f.CameraMenu()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1]->text(), QStringLiteral("Выход"));
    EXPECT_EQ(items[1]->data().toInt(), 41001);
    EXPECT_FALSE(items[0]->isChecked());

    f.ChooseCamera(1);
    EXPECT_EQ(saver.saves.back(), QStringLiteral("camera 1"));
    EXPECT_EQ(Running()->CurrentCameraIndex, 1);
    EXPECT_EQ(f.CameraPanel()->Title()->text(), QStringLiteral("Выход"));
    EXPECT_TRUE(f.Action(40005)->isEnabled());
    QMetaObject::invokeMethod(f.CameraMenu(), "aboutToShow");
    EXPECT_TRUE(f.CameraMenu()->actions()[1]->isChecked());

    const size_t saves = saver.saves.size();
    f.ChooseCamera(1);  // the current one: nothing
    EXPECT_EQ(saver.saves.size(), saves);

    f.OnCommand(41000 + 9);  // beyond the list: none
    EXPECT_EQ(saver.saves.back(), QStringLiteral("camera -1"));
    EXPECT_EQ(Running()->CurrentCameraIndex, -1);
    EXPECT_TRUE(f.CameraPanel()->Title()->text().isEmpty());
    EXPECT_EQ(f.CameraPanel()->Status()->Text(0), QStringLiteral("Камера не выбрана"));
    EXPECT_FALSE(f.Action(40005)->isEnabled());
}

// What OK on the settings sheet leaves behind after a camera list change, as the frame sees it.
ui::ApplyResult ListChanged(const settings::CameraList& before, int currentIndex) {
    ui::ApplyResult applied;
    applied.plan.groups.push_back(settings::Group::CameraList);
    applied.plan.cameraListChanged = true;
    applied.previousCameras = before;
    applied.previousCameraIndex = currentIndex;
    return applied;
}

TEST_F(Frame, AnAppliedCameraListRenamesMovesLosesOrClearsTheIdleCurrentCamera) {
    ui::MainFrame& f = Created();
    f.ChooseCamera(1);

    // Renamed in place: only the title follows, nothing is saved.
    settings::CameraList before = Running()->cameraList;
    Change([](settings::SettingsState& s) { platform::CopyToFixed(s.cameraList.Cameras[1].Name, u"Выход-2"); });
    size_t saves = saver.saves.size();
    f.SettingsApplied(ListChanged(before, 1));
    EXPECT_EQ(f.CameraPanel()->Title()->text(), QStringLiteral("Выход-2"));
    EXPECT_EQ(saver.saves.size(), saves);
    EXPECT_EQ(Running()->CurrentCameraIndex, 1);

    // The first slot removed: the same camera moved to index 0, which is stored and saved.
    before = Running()->cameraList;
    Change([](settings::SettingsState& s) {
        s.cameraList.Cameras[0] = s.cameraList.Cameras[1];
        s.cameraList.Cameras[1] = {};
        s.cameraList.Count = 1;
    });
    f.SettingsApplied(ListChanged(before, 1));
    EXPECT_EQ(Running()->CurrentCameraIndex, 0);
    EXPECT_EQ(saver.saves.back(), QStringLiteral("camera 0"));
    EXPECT_EQ(f.CameraPanel()->Title()->text(), QStringLiteral("Выход-2"));

    // A new device under the same name: the camera is lost, then the slot of that name is chosen.
    before = Running()->cameraList;
    Change([](settings::SettingsState& s) { s.cameraList.Cameras[0].Source.Web.CaptureDeviceNumber = 90; });
    saves = saver.saves.size();
    f.SettingsApplied(ListChanged(before, 0));
    EXPECT_EQ(std::vector<QString>(saver.saves.begin() + long(saves), saver.saves.end()),
              (std::vector<QString>{QStringLiteral("camera -1"), QStringLiteral("camera 0")}));
    EXPECT_EQ(Running()->CurrentCameraIndex, 0);
    EXPECT_EQ(f.CameraPanel()->Title()->text(), QStringLiteral("Выход-2"));

    // Another device under another name: lost without a replacement.
    before = Running()->cameraList;
    Change([](settings::SettingsState& s) {
        s.cameraList.Cameras[0].Source.Web.CaptureDeviceNumber = 91;
        platform::CopyToFixed(s.cameraList.Cameras[0].Name, u"Склад");
    });
    f.SettingsApplied(ListChanged(before, 0));
    EXPECT_EQ(Running()->CurrentCameraIndex, -1);
    EXPECT_EQ(saver.saves.back(), QStringLiteral("camera -1"));
    EXPECT_TRUE(f.CameraPanel()->Title()->text().isEmpty());
    EXPECT_EQ(f.CameraPanel()->Status()->Text(0), QStringLiteral("Камера не выбрана"));
    EXPECT_FALSE(f.Action(40005)->isEnabled());

    // No current camera: a changed list leaves everything alone; an emptied list clears a chosen one.
    saves = saver.saves.size();
    f.SettingsApplied(ListChanged(Running()->cameraList, -1));
    EXPECT_EQ(saver.saves.size(), saves);
    f.ChooseCamera(0);
    before = Running()->cameraList;
    Change([](settings::SettingsState& s) { s.cameraList = {}; });
    f.SettingsApplied(ListChanged(before, 0));
    EXPECT_EQ(Running()->CurrentCameraIndex, -1);
    EXPECT_EQ(saver.saves.back(), QStringLiteral("camera -1"));
}

TEST_F(Frame, TheSettingsCommandAppliesWhatTheSheetReturns) {
    ui::MainFrameParts parts;
    parts.saver = &saver;
    int opened = 0;
    std::optional<ui::ApplyResult> answer;
    parts.openSettings = [&](QWidget*, const ui::SaveRunner&) {
        ++opened;
        return answer;
    };
    frame = std::make_unique<ui::MainFrame>(lifecycle, journal, hub, std::move(parts));
    ASSERT_TRUE(frame->Create());
    frame->ChooseCamera(0);
    const settings::CameraList before = Running()->cameraList;
    Change([](settings::SettingsState& s) { platform::CopyToFixed(s.cameraList.Cameras[0].Name, u"Главный вход"); });

    frame->OnCommand(40001);  // cancelled: the title stays as it was
    EXPECT_EQ(frame->CameraPanel()->Title()->text(), QStringLiteral("Вход"));
    answer = ListChanged(before, 0);
    frame->OnCommand(40001);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(frame->CameraPanel()->Title()->text(), QStringLiteral("Главный вход"));
}

// The sheet's saves wait for the service: meanwhile the frame goes on handling its events, and a
// close that arrives waits until they have ended and the settings are applied.
TEST_F(Frame, TheFrameHandlesItsEventsDuringTheSettingsSavesAndClosesOnlyAfterThem) {
    ui::MainFrameParts parts;
    parts.saver = &saver;
    std::atomic<bool> handledDuringSaves{false};
    bool destroyedDuringSaves = true;
    parts.openSettings = [&](QWidget*, const ui::SaveRunner& runSaves) -> std::optional<ui::ApplyResult> {
        runSaves([&] {
            frame->PostClose();
            QMetaObject::invokeMethod(
                frame.get(), [&] { handledDuringSaves = true; }, Qt::QueuedConnection);
            QElapsedTimer waited;
            waited.start();
            while (!handledDuringSaves && waited.elapsed() < 5000)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            // Time for the close to arrive while the saves still run.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        });
        destroyedDuringSaves = frame->Destroyed();
        return std::nullopt;
    };
    frame = std::make_unique<ui::MainFrame>(lifecycle, journal, hub, std::move(parts));
    ASSERT_TRUE(frame->Create());
    frame->OnCommand(40001);
    EXPECT_TRUE(handledDuringSaves);
    EXPECT_FALSE(destroyedDuringSaves);
    EXPECT_TRUE(frame->Destroyed());
    EXPECT_EQ(lifecycle.calls.back(), "stop");
}

TEST_F(Frame, FramedFaceButtonTogglesSavesAndChecksTheMenu) {
    ui::MainFrame& f = Created();
    f.CameraPanel()->FramedFaceButton()->click();
    EXPECT_EQ(saver.saves.back(), QStringLiteral("framed 0"));
    EXPECT_EQ(Running()->viewFeatures.FramedFace, 0);
    EXPECT_FALSE(f.Action(40007)->isChecked());
    EXPECT_FALSE(f.CameraPanel()->FramedFaceButton()->isChecked());
    f.Action(40007)->trigger();
    EXPECT_EQ(saver.saves.back(), QStringLiteral("framed 1"));
    EXPECT_TRUE(f.Action(40007)->isChecked());
    EXPECT_TRUE(f.CameraPanel()->FramedFaceButton()->isChecked());
}

TEST_F(Frame, ConnectionsCountAndConnectingAnimation) {
    ui::MainFrame& f = Created();
    ui::CameraPanelWidget* panel = f.CameraPanel();
    // The management server reports from its own thread.
    std::thread([panel] { panel->PostServerStatus(ui::ManagementServer::Running, 8); }).join();
    Pump();
    EXPECT_EQ(f.CameraPanel()->Status()->Text(2), QStringLiteral("8 (MAX)"));
    EXPECT_EQ(f.CameraPanel()->Status()->Icon(2), shell::StatusIcon::ServerRunning);
    std::thread([panel] { panel->PostServerStatus(ui::ManagementServer::Running, 0); }).join();
    Pump();
    EXPECT_EQ(f.CameraPanel()->Status()->Text(2), QStringLiteral("0"));
    EXPECT_EQ(f.CameraPanel()->Status()->Icon(2), shell::StatusIcon::ServerRunning);
    std::thread([panel] { panel->PostServerStatus(ui::ManagementServer::Stopped, 0); }).join();
    Pump();
    EXPECT_TRUE(f.CameraPanel()->Status()->Text(2).isEmpty());
    EXPECT_EQ(f.CameraPanel()->Status()->Icon(2), shell::StatusIcon::ServerIdle);

    // The capture thread's "connecting" message.
    std::thread([&f] { f.CameraPanel()->PostShowAnimation(); }).join();
    Pump();
    EXPECT_TRUE(f.CameraPanel()->Animation()->Playing());
    f.CameraPanel()->HideCameraPicture();
    EXPECT_FALSE(f.CameraPanel()->Animation()->Playing());
}

TEST_F(Frame, ViewportShowsTheFrameShrunkAndCentred) {
    ui::MainFrame& f = Created();
    ui::ViewportWidget* viewport = f.CameraPanel()->Viewport();
    viewport->resize(640, 480);
    viewport->LayOutAgain(1920, 1080);
    EXPECT_EQ(viewport->Picture()->geometry(), QRect(-1, 59, 640, 360));
    EXPECT_EQ(viewport->DisplayedSize(), cv::Size(640, 360));
    viewport->LayOutAgain(320, 240);
    EXPECT_EQ(viewport->Picture()->geometry(), QRect(159, 119, 320, 240));

    cv::Mat picture(240, 320, CV_8UC3, cv::Scalar(255, 0, 0));  // blue in BGR
    viewport->ShowPicture(picture);
    EXPECT_TRUE(viewport->Picture()->isVisible());
    EXPECT_EQ(viewport->Picture()->Picture().pixelColor(10, 10), QColor(0, 0, 255));
}

TEST_F(Frame, SplitterDragIsClampedAndSavedOnRelease) {
    ui::MainFrame& f = Created();
    f.resize(1000, 700);
    Pump();
    ui::SplitPane* pad = f.Pad();
    const ui::SplitLayout split = ui::SplitAt(pad->width(), pad->Proportion());
    const QPoint band(split.bandStart + 2, pad->height() / 2);
    // Press and release without moving: nothing saved.
    QTest::mousePress(pad, Qt::LeftButton, {}, band);
    QTest::mouseRelease(pad, Qt::LeftButton, {}, band);
    for (const QString& s : saver.saves) EXPECT_FALSE(s.startsWith(QStringLiteral("panel"))) << s.toStdString();

    QTest::mousePress(pad, Qt::LeftButton, {}, band);
    QMouseEvent move(QEvent::MouseMove, QPointF(pad->width() - 2, band.y()),
                     pad->mapToGlobal(QPointF(pad->width() - 2, band.y())), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(pad, &move);
    EXPECT_DOUBLE_EQ(pad->Proportion(), 0.7);
    QTest::mouseRelease(pad, Qt::LeftButton, {}, QPoint(pad->width() - 2, band.y()));
    EXPECT_EQ(saver.saves.back(), QStringLiteral("panel 0.7"));
    EXPECT_DOUBLE_EQ(Running()->PanelDivProportion, 0.7);
    // The left panel now ends 2 pixels before 70 % of the pad.
    EXPECT_EQ(f.LeftPanel()->width(), int(pad->width() * 0.7) - 2);
}

TEST_F(Frame, AMoveIsSavedOnceItComesToRest) {
    ui::MainFrame& f = Created();
    saver.saves.clear();
    f.move(30, 40);
    f.resize(900, 700);
    QTest::qWait(450);
    ASSERT_EQ(saver.saves.size(), 1u);
    EXPECT_EQ(saver.saves[0], QStringLiteral("pos 30 40 900 700"));
    QTest::qWait(400);
    EXPECT_EQ(saver.saves.size(), 1u);
}

TEST(InitSyncObjectsDialog, WaitsUntilAttachedOrFailed) {
    int calls = 0;
    QElapsedTimer timer;
    timer.start();
    ui::InitSyncObjectsDialog waiting([&calls] { return ++calls < 2 ? 2 : 1; });
    EXPECT_EQ(waiting.exec(), 1);
    EXPECT_EQ(calls, 2);
    EXPECT_GE(timer.elapsed(), 900);  // the second attempt came a second after the first

    int failures = 0;
    ui::InitSyncObjectsDialog failing([&failures] {
        ++failures;
        return 0;
    });
    EXPECT_EQ(failing.exec(), 2);
    EXPECT_EQ(failures, 1);
}

TEST(InitSyncObjectsDialog, CancelEndsTheWaitAndIsLogged) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("Ostrovid.log"));
    platform::SetLogFile(log, dir.filePath(QStringLiteral("Ostrovid1.log")));
    ui::InitSyncObjectsDialog waiting([] { return 2; });
    auto* cancel = waiting.findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Отмена"));
    QTimer::singleShot(100, cancel, &QPushButton::click);
    EXPECT_EQ(waiting.exec(), 2);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2)
                    .contains(QStringLiteral("InitSyncObjectsDialog: User press Cancel button.")));
    platform::SetLogFile(QString(), QString());
}

}  // namespace
