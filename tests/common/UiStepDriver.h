#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace testing_env {

// Drives the popup menus and modal dialogs that the code under test opens, one step per
// menu or dialog in the order they open. Each step polls, from inside the open widget's
// own event loop, until the active popup (a menu) or the active modal widget is of its
// type, then runs on it; a step must close what it was given (a click, a key, an action
// triggered, accept or reject), or the exec() that showed it never returns.
//
// A step that finds nothing of its type within its limit (real time, a safety net only a
// broken test reaches) fails the test, closes whatever popup or modal widget is open so
// that the test goes on, and drops the steps after it. Steps still pending when the driver
// goes are dropped too; ask Done() to check they all ran.
class UiStepDriver
{
public:
    explicit UiStepDriver(int limitMs = 30000) : limitMs_(limitMs) {}
    UiStepDriver(const UiStepDriver&) = delete;
    UiStepDriver& operator=(const UiStepDriver&) = delete;

    // The next modal dialog, of type `Dialog`.
    template <typename Dialog>
    UiStepDriver& Modal(std::function<void(Dialog*)> step)
    {
        return Add(Step{false, Dialog::staticMetaObject.className(), [step](QWidget* widget) {
                            auto* dialog = qobject_cast<Dialog*>(widget);
                            if (dialog)
                                step(dialog);
                            return dialog != nullptr;
                        }});
    }

    // The next popup menu.
    UiStepDriver& Popup(std::function<void(QMenu*)> step)
    {
        return Add(Step{true, "QMenu", [step](QWidget* widget) {
                            auto* menu = qobject_cast<QMenu*>(widget);
                            if (menu)
                                step(menu);
                            return menu != nullptr;
                        }});
    }

    // True once every step has run.
    bool Done() const { return steps_.empty(); }

private:
    struct Step
    {
        bool popup;
        const char* expected;
        std::function<bool(QWidget*)> run;
    };

    UiStepDriver& Add(Step step)
    {
        if (steps_.empty())
            waited_.start();
        steps_.push_back(std::move(step));
        Schedule();
        return *this;
    }

    // Each poll is a timer of its own: a timer does not fire again while its own slot runs,
    // and a step runs inside the poll that found its widget, so the next widget, opened
    // from that step, is found by a later timer.
    void Schedule()
    {
        if (scheduled_)
            return;
        scheduled_ = true;
        QTimer::singleShot(1, &context_, [this] { Poll(); });
    }

    void Poll()
    {
        scheduled_ = false;
        if (steps_.empty())
            return;
        Schedule();
        const bool popup = steps_.front().popup;
        QWidget* open = popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        // Taken off the queue before it runs: a step whose click opens the next widget
        // comes back here from that widget's event loop.
        Step step = steps_.front();
        steps_.pop_front();
        if (open && step.run(open)) {
            waited_.restart();
        } else if (waited_.hasExpired(limitMs_)) {
            QWidget* any = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                             : QApplication::activeModalWidget();
            ADD_FAILURE() << "no " << step.expected << " opened in time; open: "
                          << (any ? any->metaObject()->className() : "nothing");
            steps_.clear();
            if (auto* dialog = qobject_cast<QDialog*>(any))
                dialog->reject();
            else if (any)
                any->close();
        } else {
            steps_.push_front(std::move(step));
        }
    }

    int limitMs_;
    bool scheduled_ = false;
    QObject context_;
    QElapsedTimer waited_;
    std::deque<Step> steps_;
};

} // namespace testing_env
