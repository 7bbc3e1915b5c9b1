#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

namespace testing_env {

// Drives the modal dialogs that the code under test opens with exec(), one step per
// dialog in the order they open. Each step waits — polling from inside the dialog's own
// event loop, never for real time — until the active modal widget is of its type, then
// runs on it. A step must close its dialog (a click, a key, accept or reject), or the
// exec() that showed it never returns. Steps still pending when the driver goes are
// dropped, so a failed test cannot act on another test's dialogs.
class ModalDialogDriver
{
public:
    ModalDialogDriver()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    }
    ModalDialogDriver(const ModalDialogDriver&) = delete;
    ModalDialogDriver& operator=(const ModalDialogDriver&) = delete;

    template <typename Dialog>
    void Then(std::function<void(Dialog*)> step)
    {
        steps_.push_back([step](QWidget* modal) {
            auto* dialog = qobject_cast<Dialog*>(modal);
            if (dialog)
                step(dialog);
            return dialog != nullptr;
        });
        timer_.start();
    }

    // True once every step has run.
    bool Done() const { return steps_.empty(); }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || steps_.empty())
            return;
        // Taken off the queue before it runs: a step whose click opens the next modal
        // dialog comes back here from that dialog's event loop.
        auto step = steps_.front();
        steps_.pop_front();
        if (!step(modal))
            steps_.push_front(std::move(step));
        if (steps_.empty())
            timer_.stop();
    }

    QTimer timer_;
    std::deque<std::function<bool(QWidget*)>> steps_;
};

} // namespace testing_env
