#pragma once

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace app_test {

// Drives the menus and modal dialogs that the code under test opens (QMenu::exec,
// QDialog::exec), one step per widget in the order they open. Each step waits, polling
// from inside the widget's own event loop, until the active popup (else the active modal
// widget) is of its type, then runs on it; the step must close it (choose an entry, click
// a button, accept or reject), or the exec() that showed it never returns.
//
// A step that waits longer than the limit (real time: a safety net for a broken test,
// never a measurement) fails the test, closes the widget in the way, if any, and drops
// the steps after it. A step that never ran when the driver goes fails the test too.
// While a step runs, no other step starts, so a step may process events itself.
class UiDriver
{
public:
    explicit UiDriver(int limitMs = 20000) : limitMs_(limitMs)
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    }
    ~UiDriver()
    {
        if (!steps_.empty())
            ADD_FAILURE() << steps_.size() << " menu or dialog step(s) never ran, the first waiting for a "
                          << steps_.front().type;
    }
    UiDriver(const UiDriver&) = delete;
    UiDriver& operator=(const UiDriver&) = delete;

    template <typename Widget>
    UiDriver& Then(std::function<void(Widget*)> step)
    {
        steps_.push_back({Widget::staticMetaObject.className(), [step](QWidget* shown) {
                              auto* widget = qobject_cast<Widget*>(shown);
                              if (widget)
                                  step(widget);
                              return widget != nullptr;
                          }});
        if (steps_.size() == 1)
            deadline_ = QDeadlineTimer(limitMs_);
        timer_.start();
        return *this;
    }

    // True once every step has run.
    bool Done() const { return steps_.empty(); }
    // Forgets the steps that have not run (a test that checked nothing opened).
    void Drop()
    {
        steps_.clear();
        timer_.stop();
    }

    // Chooses the entry of `menu` whose text is `text`, as a user does with the keys, once
    // the step has returned; closes the menu and fails when there is none.
    static void Choose(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                menu->setActiveAction(action);
                // After the step: the entry may open a dialog, which the next step answers.
                QTimer::singleShot(0, menu, [menu] { QTest::keyClick(menu, Qt::Key_Return); });
                return;
            }
        }
        ADD_FAILURE() << "no entry \"" << text.toStdString() << "\" in the menu";
        menu->close();
    }

private:
    struct Step {
        const char* type;
        std::function<bool(QWidget*)> run;
    };

    static QWidget* Shown()
    {
        QWidget* popup = QApplication::activePopupWidget();
        return popup ? popup : QApplication::activeModalWidget();
    }

    void Poll()
    {
        if (running_ || steps_.empty())
            return;
        QWidget* shown = Shown();
        if (shown && shown->isVisible()) {
            Step step = steps_.front();
            steps_.pop_front();
            running_ = true;
            const bool ran = step.run(shown);
            running_ = false;
            if (!ran) {
                steps_.push_front(step);
            } else {
                deadline_ = QDeadlineTimer(limitMs_);
                if (steps_.empty())
                    timer_.stop();
                return;
            }
        }
        if (!deadline_.hasExpired())
            return;
        ADD_FAILURE() << "no " << steps_.front().type << " was shown in time"
                      << (shown ? ", found a " : "") << (shown ? shown->metaObject()->className() : "");
        steps_.clear();
        timer_.stop();
        if (auto* dialog = qobject_cast<QDialog*>(shown))
            dialog->reject();
        else if (shown)
            shown->close();
    }

    const int limitMs_;
    QTimer timer_;
    QDeadlineTimer deadline_;
    std::deque<Step> steps_;
    bool running_ = false;
};

} // namespace app_test
