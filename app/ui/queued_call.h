#pragma once
// Typed notifications from any thread to a widget: the call runs later on the receiver's thread.
// Calls posted by one thread run in the order they were posted (after the events that thread
// posted to the same thread before them); calls still queued when the receiver is destroyed are
// dropped with it.

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <utility>

namespace ui {

// Any thread. False when there is no application or receiver to post to.
template <typename Call>
bool PostCall(QObject* receiver, Call&& call) {
    if (receiver == nullptr || QCoreApplication::instance() == nullptr) return false;
    return QMetaObject::invokeMethod(receiver, std::forward<Call>(call), Qt::QueuedConnection);
}

}  // namespace ui
