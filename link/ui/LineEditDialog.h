#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// A modal dialog that asks for one line of text: a caption beside a line edit, then OK
// and Cancel. The line edit starts with the focus and its whole text selected, so typing
// replaces it; OK is the default button, so Return accepts whenever OK is enabled. The
// dialog is at least as wide as its title bar needs to show the window title whole.
//
// The base of the number and name dialogs, which add the rules of their text. GUI thread;
// open with exec() and read the text only when it answered QDialog::Accepted.
class LineEditDialog : public QDialog
{
    Q_OBJECT
protected:
    LineEditDialog(const QString& caption, const QString& text, QWidget* parent);

    QLineEdit* Edit() const { return edit_; }
    QPushButton* OkButton() const { return ok_; }

private:
    QLineEdit* edit_;
    QPushButton* ok_;
};
