#pragma once

#include <QApplication>

// The program's application object: its icon and names, and the storage roots that every
// later file access uses. GUI thread only; one per process.
class VelmoraApplication : public QApplication
{
    Q_OBJECT
public:
    VelmoraApplication(int& argc, char** argv);
    // Clears the clipboard when this process owns it, so that no payload pointing into
    // this process outlives it.
    ~VelmoraApplication() override;
};
