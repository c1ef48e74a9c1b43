#include "app/ui/photo_pad.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {

namespace {

const QString kItemName = QStringLiteral("Vektra:OSTROVID_V2:PERSON:PHOTO:ITEM");
constexpr int kMinimumStripHeight = 120;
constexpr int kScrollStep = 20;

}  // namespace

PhotoPad::PhotoPad(QWidget* parent) : ItemPad(parent) {
    setObjectName(QStringLiteral("Vektra:OSTROVID_V2:PERSON:PHOTO:PAD"));
    add_ = CreatePictureAddActions(
        this,
        [this](const QString& path) {
            if (onAddFromFile) onAddFromFile(path);
        },
        [this] {
            if (onAddFromClipboard) onAddFromClipboard();
        });

    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addButton_ = AddPictureButton(toolbar, add_, QStringLiteral("Добавить фото персоны..."));
    deleteButton_ = toolbar->addAction(QStringLiteral("Удалить"));
    deleteButton_->setToolTip(QStringLiteral("Удалить фото персоны"));
    QObject::connect(deleteButton_, &QAction::triggered, this, [this] { Delete(); });

    deleteItem_ = new QAction(QStringLiteral("Удалить фото"), this);
    deleteItem_->setShortcut(QKeySequence::Delete);
    deleteItem_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(deleteItem_, &QAction::triggered, this, [this] { Delete(); });
    addAction(deleteItem_);
    itemMenu_ = new QMenu(this);
    itemMenu_->addAction(add_.fromFile);
    itemMenu_->addAction(add_.fromClipboard);
    itemMenu_->addSeparator();
    itemMenu_->addAction(deleteItem_);

    viewport_ = new QWidget(this);
    viewport_->setObjectName(QStringLiteral("Vektra:OSTROVID_V2:PERSON:PHOTO:VIEWPORT"));
    viewport_->setFocusPolicy(Qt::StrongFocus);
    viewport_->setMinimumHeight(kMinimumStripHeight);
    viewport_->setAutoFillBackground(true);
    scrollBar_ = new QScrollBar(Qt::Horizontal, this);
    scrollBar_->setSingleStep(kScrollStep);
    QObject::connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
        model_.SetScroll(value);
        Place();
    });
    // Resizes reach Place() only once the scroll bar exists.
    viewport_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(viewport_, 1);
    layout->addWidget(scrollBar_);

    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { RefreshCommands(); });
    ShowNoPerson();
}

void PhotoPad::ShowPhotos(const std::vector<database::StoredPhoto>& photos) {
    std::vector<browser::PhotoItem> items;
    items.reserve(photos.size());
    for (const database::StoredPhoto& photo : photos) items.push_back(browser::PhotoItem::FromStored(photo));
    model_.ShowPerson(std::move(items));
    RebuildItems(model_.Items().size(), kItemName);
}

void PhotoPad::ShowNoPerson() {
    model_.ShowNoPerson();
    RebuildItems(model_.Items().size(), kItemName);
}

void PhotoPad::AddPhoto(int32_t photoId, const QByteArray& image) {
    model_.Add(browser::PhotoItem::FromStored({photoId, image}));
    RebuildItems(model_.Items().size(), kItemName);
}

void PhotoPad::RemovePhoto(int32_t photoId) {
    model_.Remove(photoId);
    RebuildItems(model_.Items().size(), kItemName);
}

void PhotoPad::Place() {
    model_.SetViewport(viewport_->width(), viewport_->height());
    {
        const QSignalBlocker block(scrollBar_);
        scrollBar_->setRange(0, model_.ScrollRange());
        scrollBar_->setPageStep(std::max(1, viewport_->width()));
        scrollBar_->setValue(model_.Scroll());
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i]->setGeometry(model_.ItemRect(static_cast<int>(i)).translated(-model_.Scroll(), 0));
        items_[i]->update();
    }
    RefreshCommands();
}

void PhotoPad::RefreshCommands() {
    const browser::PhotoPadCommands commands = model_.Commands(ClipboardHoldsBitmap());
    add_.fromFile->setEnabled(commands.addFromFile);
    add_.fromClipboard->setEnabled(commands.addFromClipboard);
    addButton_->setEnabled(commands.addFromFile);
    deleteButton_->setEnabled(commands.remove);
    deleteItem_->setEnabled(commands.remove);
}

void PhotoPad::Delete() {
    RefreshCommands();
    const std::optional<int32_t> photoId = model_.CurrentPhotoId();
    if (photoId && onDelete) onDelete(*photoId);
}

void PhotoPad::ClickAt(QPoint viewportPoint, Qt::MouseButton) { model_.Click(viewportPoint); }

void PhotoPad::PaintItem(QWidget* item, int index) {
    QPainter painter(item);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage& image = model_.Items()[index].image;
    const QRect imageRect = model_.ImageRect(index);
    if (image.isNull()) {
        painter.fillRect(imageRect, palette().color(QPalette::Mid));
    } else {
        painter.drawImage(imageRect, image);
    }
    if (model_.Current() == index) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.drawRect(item->rect().adjusted(1, 1, -2, -2));
    }
}

}  // namespace ui
