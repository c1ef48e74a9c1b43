#include "app/ui/device_chooser.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ui {

DeviceChooser::DeviceChooser(const std::vector<camera::VideoInputDevice>& devices, int currentRow, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Выберите камеру в списке"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("devices"));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHeaderLabels({QString(), QStringLiteral("Имя"), QStringLiteral("Идентификатор устройства")});
    const int widths[] = {20, 200, 260};
    for (int column = 0; column < 3; ++column) {
        list_->setColumnWidth(column, widths[column]);
    }
    for (size_t row = 0; row < devices.size(); ++row) {
        new QTreeWidgetItem(list_, {QString::number(row), devices[row].friendlyName, devices[row].devicePath});
    }
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { ok_->setEnabled(ChosenRow() >= 0); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
    if (currentRow >= 0 && currentRow < int(devices.size())) {
        list_->topLevelItem(currentRow)->setSelected(true);
        list_->setCurrentItem(list_->topLevelItem(currentRow));
    }
    ok_->setEnabled(ChosenRow() >= 0);
    resize(520, 260);
}

int DeviceChooser::ChosenRow() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.first());
}

}  // namespace ui
