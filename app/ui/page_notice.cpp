#include "app/ui/page_notice.h"

#include "app/ui/splash_windows.h"

#include <QMessageBox>
#include <QTimer>

namespace ui {

void ShowPageNotice(QWidget* owner, const PageNotice& notice) {
    const QMessageBox::Icon icon = notice.kind == NoticeKind::Error ? QMessageBox::Critical : QMessageBox::Information;
    QMessageBox box(icon, kProgramTitle, notice.text, QMessageBox::Ok, owner);
    if (notice.shown > std::chrono::milliseconds::zero())
        QTimer::singleShot(notice.shown, &box, [&box] { box.done(QMessageBox::Ok); });
    box.exec();
}

}  // namespace ui
