#include "link/ui/NumberDialog.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>

NumberDialog::NumberDialog(int value, const QString& caption, QWidget* parent, quint16 maximum, quint16 minimum)
    : LineEditDialog(caption, QString::number(value, 10), parent)
{
    // Plain digits whatever the user's locale: GetNumber reads base 10 without group
    // separators, so a "1.000" the locale would admit must not be accepted as 0.
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator);
    auto* validator = new QIntValidator(minimum, maximum, this);
    validator->setLocale(plain);
    Edit()->setValidator(validator);

    auto updateOk = [this] { OkButton()->setEnabled(IsAcceptable()); };
    connect(Edit(), &QLineEdit::textChanged, this, updateOk);
    updateOk();
}

int NumberDialog::GetNumber() const
{
    bool ok = false;
    const int number = Edit()->text().toInt(&ok, 10);
    return ok ? number : 0;
}

void NumberDialog::accept()
{
    if (IsAcceptable())
        LineEditDialog::accept();
}

bool NumberDialog::IsAcceptable() const
{
    // The validator also admits texts on the way to a number ("600" of 512 could become
    // "60"), which must not be taken as the answer.
    QString text = Edit()->text();
    int position = 0;
    return Edit()->validator()->validate(text, position) == QValidator::Acceptable;
}

AddressDialog::AddressDialog(int value, QWidget* parent, quint16 maximum)
    : NumberDialog(value, tr("Address:"), parent, maximum)
{
}
