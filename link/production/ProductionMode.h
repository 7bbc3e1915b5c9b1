#pragma once

#include <QString>
#include <QtGlobal>

// Production mode lets a production line give newly built fixtures their unique
// identifiers during discovery. It is switched on by two system-wide settings
// (organisation "Quorvane", application "Velmora"):
//   UniqueIdGenerator/key   must equal the production access code
//   ProductionMode          1 switches the mode on
//   UniqueIdGenerator/<model>  path of the identifier file of that fixture model

// The key setting exists and equals the production access code.
bool ProductionKeyMatches();

// ProductionKeyMatches() and ProductionMode = 1.
bool IsProductionMode();

// Hands out the next identifier for `model` from its identifier file and records it
// there. The file is shared by the stations of a line: one identifier per line (the
// first 8 characters, hexadecimal), "#" starts a comment, other lines are ignored.
// The new identifier is one above the highest in the file, and never one of the values
// discovery treats as unassigned (0, 1, 2) nor the broadcast id 0xFFFFFFFF.
// False, with nothing written, when production mode's key does not match, the model has
// no file, the file cannot be opened or written, or the identifiers are used up.
bool UniqueIdGenerator(const QString& model, quint32& id);
