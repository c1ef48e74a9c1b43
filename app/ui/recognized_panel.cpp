#include "app/ui/recognized_panel.h"

#include "app/ui/camera_panel.h"
#include "platform/fixedtext.h"
#include "platform/oledate.h"
#include "settings/settings_state.h"

#include <QListWidget>
#include <QVBoxLayout>

#include <chrono>

namespace ui {

namespace {
constexpr int kThumbnailSize = 64;
constexpr std::chrono::seconds kExpiryInterval{30};
}  // namespace

QString RecognizedItemText(const recognition::RecognizedListItem& item) {
    const recognition::PersonFields& p = item.person;
    QString name = platform::FromFixed(p.alias);
    if (name.isEmpty()) {
        name = platform::FromFixed(p.surname);
        for (const QString& part : {platform::FromFixed(p.forename), platform::FromFixed(p.secondName)}) {
            if (!part.isEmpty()) name += QLatin1Char(' ') + part;
        }
    }
    const platform::LocalTime t = platform::SplitOleDate(item.time);
    return QString::asprintf("%.1f%% ", item.confidence) + name + QLatin1Char('\n') +
           platform::FromFixed(item.cameraName) + QString::asprintf("  %02d:%02d:%02d", t.hour, t.minute, t.second);
}

RecognizedPanel::RecognizedPanel(recognition::RecognizedPersonsList& list, recognition::RememberedPersons& remembered,
                                 QWidget* parent)
    : QWidget(parent), list_(list), remembered_(remembered) {
    setObjectName(QStringLiteral("Vektra:OSTROVID_V2:RIGHT:PANEL"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new QListWidget(this);
    view_->setIconSize(QSize(kThumbnailSize, kThumbnailSize));
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(view_);

    expiryTimer_.setInterval(kExpiryInterval);
    QObject::connect(&expiryTimer_, &QTimer::timeout, this, [this] {
        uint32_t minutes = 0;
        {
            platform::CriticalSectionLock lock(settings::SettingsLock());
            minutes = settings::g_Settings().recognition.RememberRecognized;
        }
        remembered_.Expire(platform::OleDateNow(), minutes);
    });
    expiryTimer_.start();
}

void RecognizedPanel::Refresh() {
    view_->clear();
    for (size_t row = 0; row < list_.Size(); ++row) {
        const recognition::RecognizedListItem& item = list_.At(row);
        auto* entry = new QListWidgetItem(RecognizedItemText(item), view_);
        const QImage thumbnail = ImageFromMat(item.thumbnail);
        if (!thumbnail.isNull()) {
            entry->setIcon(QIcon(QPixmap::fromImage(
                thumbnail.scaled(kThumbnailSize, kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation))));
        }
    }
}

}  // namespace ui
