#pragma once
// The right panel in its simple form: the recognized-persons list with thumbnails, newest at
// the top, and the 30 s timer that forgets persons remembered longer than RememberRecognized.

#include "app/recognition/recognized_list.h"
#include "app/recognition/remembered_persons.h"

#include <QTimer>
#include <QWidget>

class QListWidget;

namespace ui {

// "%.1f%% " confidence, the person's alias or full name, then camera and time.
QString RecognizedItemText(const recognition::RecognizedListItem& item);

class RecognizedPanel final : public QWidget {
public:
    RecognizedPanel(recognition::RecognizedPersonsList& list, recognition::RememberedPersons& remembered,
                    QWidget* parent = nullptr);

    // Shows the list anew (a new entry or a new picture).
    void Refresh();
    QListWidget* List() const { return view_; }

private:
    recognition::RecognizedPersonsList& list_;
    recognition::RememberedPersons& remembered_;
    QListWidget* view_;
    QTimer expiryTimer_;
};

}  // namespace ui
