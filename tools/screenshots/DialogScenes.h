#pragma once

class Shooter;

// The small dialogs as they fit their words: "name-dialog.png", the name dialog of a new
// first-family package, and "operation-failed.png", a copy that failed, its log opened.
bool TakeDialogScenes(Shooter& shooter);
