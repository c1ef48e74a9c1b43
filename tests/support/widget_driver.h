#pragma once
// Driving windows in offscreen tests: finding a named control, typing into a field as a user
// does, and acting on a modal dialog, whose exec() runs its own event loop, once it shows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QObject>
#include <QTimer>

#include <functional>

namespace testsupport {

// The named child; a failure, and null, when there is none.
template <typename T>
T* Child(QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Replaces the field's text as typing does: textEdited is reported, with any letters.
inline void TypeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->insert(text);
}

// Runs `act` once on the first modal dialog of type T shown from now on; queue it before the
// command that opens the dialog.
template <typename T>
void WhenModal(std::function<void(T&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
        auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start();
}

}  // namespace testsupport
