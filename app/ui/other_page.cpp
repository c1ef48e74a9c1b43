#include "app/ui/other_page.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace ui {

OtherPage::OtherPage(settings::SettingsState& copy, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("OtherPage"));
    auto* autoRun = new QCheckBox(QStringLiteral("Автоматически стартовать программу при входе в систему"), this);
    autoRun->setObjectName(QStringLiteral("AutoRun"));
    autoRun->setChecked(copy.AutoRun);
    connect(autoRun, &QCheckBox::toggled, this, [&copy](bool on) { copy.AutoRun = on; });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(autoRun);
    layout->addStretch();
}

}  // namespace ui
