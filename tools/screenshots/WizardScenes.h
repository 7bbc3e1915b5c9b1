#pragma once

class Shooter;
class QWidget;

// Every page of the fleet commands' six wizards and the About box, over the demo rig's
// fixtures and the seeded user library, each as "<wizard>-<page>.png" and "about.png".
// The wizards are shown over `window` at a fixed size. The firmware package of the first
// family is put into the firmware folder first, so that its upgrade shows its version.
bool TakeWizardScenes(QWidget& window, Shooter& shooter);
