#include "app/ui/settings_sheet.h"

#include "platform/contract.h"
#include "settings/load_settings.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

// Process-wide, touched on the user-interface thread only.
int g_startPage = 0;
bool g_confirmed = false;

}  // namespace

SettingsSheet::SettingsSheet(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SettingsSheet"));
    setWindowTitle(QStringLiteral("Настройки программы"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("SettingsPages"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);
    g_confirmed = false;
}

void SettingsSheet::AddPage(QWidget* page, const QString& caption) {
    pages_->addTab(page, caption);
    // Every caption in view: pages hidden behind scroll arrows would go unnoticed.
    setMinimumWidth(pages_->tabBar()->sizeHint().width() + 2 * layout()->contentsMargins().left() + 8);
}

void SettingsSheet::ShowStartPage() {
    pages_->setCurrentIndex(g_startPage < pages_->count() ? g_startPage : 0);
    // Connected only now: filling the tabs makes the first one current and must not count.
    connect(pages_, &QTabWidget::currentChanged, this, [](int index) {
        if (index >= 0) g_startPage = index;
    });
}

bool SettingsSheet::Confirmed() { return g_confirmed; }

int SettingsSheet::StartPage() { return g_startPage; }

void SettingsSheet::accept() {
    g_confirmed = true;
    QDialog::accept();
}

std::unique_ptr<settings::SettingsState> TakeSettingsCopy(const settings::SettingsHub& hub) {
    auto copy = std::make_unique<settings::SettingsState>(*hub.Snapshot());
    // The answer comes from the desktop session, not from the settings.
    copy->AutoRun = settings::IsAutoRunSet();
    return copy;
}

std::optional<ApplyResult> RunSettingsSheet(QWidget* parent, settings::SettingsHub& hub, const SheetPageMaker& addPages,
                                            const ApplyServices& services) {
    std::unique_ptr<settings::SettingsState> copy = TakeSettingsCopy(hub);
    SettingsSheet sheet(parent);
    addPages(sheet, *copy);
    sheet.ShowStartPage();
    if (sheet.exec() != QDialog::Accepted) return std::nullopt;
    return ApplySettingsCopy(hub, *copy, services);
}

}  // namespace ui
