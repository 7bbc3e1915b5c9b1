#pragma once

#include "link/ui/LineEditDialog.h"

// Asks for a content name of at most kMaxLength characters, starting at `name` (cut to
// that length). The window title is `title` when it is not empty. The dialog does not
// judge the name: whoever applies it asks the folder's policy. GUI thread; open with exec().
class NameDialog : public LineEditDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxLength = 16;

    NameDialog(const QString& name, QWidget* parent, const QString& title = QString());

    QString GetName() const;
};
