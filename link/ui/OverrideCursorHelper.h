#pragma once

#include <QApplication>

// Shows the wait cursor over the whole application while it lives; put one on the stack
// around work that blocks the GUI thread. Guards nest: each restores the cursor that was
// in force before it. GUI thread.
class OverrideCursorHelper
{
public:
    [[nodiscard]] OverrideCursorHelper() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~OverrideCursorHelper() { QApplication::restoreOverrideCursor(); }
    OverrideCursorHelper(const OverrideCursorHelper&) = delete;
    OverrideCursorHelper& operator=(const OverrideCursorHelper&) = delete;
};
