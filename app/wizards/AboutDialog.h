#pragma once

#include <QDialog>

// The about box: the program's version and the versions of the two LED families' firmware
// packages in the firmware folder, over the about picture. GUI thread; open with exec().
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
