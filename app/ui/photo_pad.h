#pragma once
// Purpose: the photo pad of the person card: a horizontal strip of the person's photos with its
//          toolbar and item menu. browser::PhotoPadModel decides the layout and what is offered;
//          the owner runs the commands on the database and reports back through the Show/Add/
//          Remove calls.
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership) and the model.

#include "app/browser/photo_pad_model.h"
#include "app/ui/image_file_dialog.h"
#include "app/ui/item_pad.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QScrollBar;
class QToolButton;

namespace ui {

class PhotoPad final : public ItemPad {
public:
    explicit PhotoPad(QWidget* parent = nullptr);

    // The commands, run by the owner: a picture file the operator chose, the clipboard's
    // bitmap, and deleting the current photo.
    std::function<void(const QString& path)> onAddFromFile;
    std::function<void()> onAddFromClipboard;
    std::function<void(int32_t photoId)> onDelete;

    void ShowPhotos(const std::vector<database::StoredPhoto>& photos);
    void ShowNoPerson();
    void AddPhoto(int32_t photoId, const QByteArray& image);
    void RemovePhoto(int32_t photoId);

    const browser::PhotoPadModel& Model() const { return model_; }

private:
    void Place() override;
    void RefreshCommands() override;
    void PaintItem(QWidget* item, int index) override;
    void ClickAt(QPoint viewportPoint, Qt::MouseButton button) override;
    void Delete();

    browser::PhotoPadModel model_;
    PictureAddActions add_;
    QToolButton* addButton_ = nullptr;
    QAction* deleteButton_ = nullptr;
    QAction* deleteItem_ = nullptr;
};

}  // namespace ui
