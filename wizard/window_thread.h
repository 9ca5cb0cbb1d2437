// Runs a piece of work on the window thread: the error boxes, the shell's timer and the end of the
// connecting dialog are asked for from worker threads, but Qt widgets may only be touched by the
// thread that owns them.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <type_traits>
#include <utility>

// Calls fn on the thread of context and waits for it (directly when already there). The window
// thread must be running its event loop, which it is whenever a worker runs: it shows the wizard
// or the connecting dialog.
template <class F>
auto on_window_thread(QObject* context, F&& fn) -> std::invoke_result_t<F> {
    if (QThread::currentThread() == context->thread()) {
        return fn();
    }
    if constexpr (std::is_void_v<std::invoke_result_t<F>>) {
        QMetaObject::invokeMethod(context, std::forward<F>(fn), Qt::BlockingQueuedConnection);
    } else {
        std::invoke_result_t<F> result{};
        QMetaObject::invokeMethod(
            context, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

// Posts fn to the thread of context without waiting.
template <class F>
void post_to_window_thread(QObject* context, F&& fn) {
    QMetaObject::invokeMethod(context, std::forward<F>(fn), Qt::QueuedConnection);
}
