#pragma once

// Gives the device registry the lamp fixtures: discovery runs the Tarvo protocol before
// RDM, and upgrades of lamp fixtures (any model but the LED families) queue a
// FirmwareUpgradeCommand over the Tarvo protocol. Call on the GUI thread at start-up,
// before the first discovery, and again whenever the registry is made anew.
void RegisterFirmware();
