#pragma once

// Gives the device registry the lamp fixtures and the firmware upgrades: discovery runs
// the Tarvo protocol before RDM; upgrades of lamp fixtures (any model but the LED
// families) queue a FirmwareUpgradeCommand over the Tarvo protocol, upgrades of BREVANT
// and Cindral fixtures a BrevantUpgradeCommand or CindralUpgradeCommand from the family's
// package. Call on the GUI thread at start-up, before the first discovery, and again
// whenever the registry is made anew.
void RegisterFirmware();
