#pragma once

#include <functional>
#include <memory>

class CustomFileSystemEngineHandler;
class QApplication;
class QWidget;

namespace machine {
class Machine;
}

// Registers what the program's parts supply to one another: the fixture families and the
// lamp fixtures that discovery recognises (and their firmware upgrades), the picture
// import of the family folders, and the pieces of the main window. The registry's part
// must be made again whenever the registry is made anew (tests do). Call once, after the application object exists and before the window is
// built (main, the screenshot tool and the GUI tests do); calling again changes nothing.
void RegisterProgramParts();

// Everything that lives around the program's window, in the order it must come and go:
// the computer (the drivers, and the simulated widget and fixtures of the rig named by
// VELMORA_RIG, after telling the user when that rig cannot be used), the package file
// engine, the meta types of the feedback that crosses threads, the registrations, the
// user, stock and Mosavra libraries that the window shows, and the image cache that the
// fixture folders ask (over the "ContentCache" folder and those libraries).
// Shared by main and the screenshot tool.
//
// Make it after the application object and destroy it after the window: it stops the
// command queue with the device registry before the computer goes, so no command is left
// talking to the hardware. GUI thread; one per process.
class ProgramSession
{
public:
    ProgramSession();
    ~ProgramSession();
    ProgramSession(const ProgramSession&) = delete;
    ProgramSession& operator=(const ProgramSession&) = delete;

private:
    std::unique_ptr<machine::Machine> computer_;
    std::unique_ptr<CustomFileSystemEngineHandler> fileEngine_;
};

// The program's run: makes the window, shows it, runs the event loop until the last
// window closes, trims the content image cache, and only then lets the window go.
// Answers the event loop's result. Call while the ProgramSession lives. GUI thread.
int RunProgramWindow(QApplication& app, const std::function<std::unique_ptr<QWidget>()>& makeWindow);
