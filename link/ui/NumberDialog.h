#pragma once

#include "link/ui/LineEditDialog.h"

// Asks for a whole number from `minimum` (0 unless given) to `maximum`, starting at `value`.
//
// Only digits that can still lead to a number in range can be typed; OK (and Return)
// accept only a number in range, so an accepted dialog's GetNumber() is always within
// minimum..maximum — a text such as "600" of 512 keeps OK disabled. Cancel and Escape reject.
// GUI thread; open with exec().
class NumberDialog : public LineEditDialog
{
    Q_OBJECT
public:
    NumberDialog(int value, const QString& caption, QWidget* parent, quint16 maximum, quint16 minimum = 0);

    // The typed number in base 10; 0 when the text is not a number (an empty field).
    int GetNumber() const;

    // Closes the dialog as accepted only while the text is a number in range.
    void accept() override;

private:
    bool IsAcceptable() const;
};

// Asks for a DMX address with the caption "Address:"; read it with GetNumber().
class AddressDialog : public NumberDialog
{
    Q_OBJECT
public:
    AddressDialog(int value, QWidget* parent, quint16 maximum);
};
