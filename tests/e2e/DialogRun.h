#pragma once

#include <QString>

class Operation;

// What a run of an operation through the operation dialog gave.
struct Outcome
{
    bool accepted = false;
    int result = -1;
    QString title;
    QString log;
    int maximum = -1;
    int value = -1;
};

// Runs `operation` through an OperationDialog, as the program runs content operations (on
// the dialog's worker thread), pressing OK when a run that did not succeed leaves the
// dialog open for the user; answers what the run and the dialog showed.
Outcome RunThroughDialog(Operation& operation);
