#pragma once

// Installs the device views in the main window's seams: the controllers of the "Devices"
// row and the fixture rows, the "Devices" row itself, the task list as the window's
// bottom pane, and the wizards that choose the fleet commands' fixtures and show About.
// Windows built afterwards use them. GUI thread; calling again changes nothing.
void RegisterDeviceGui();
