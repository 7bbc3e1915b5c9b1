#include "link/ui/NameDialog.h"

#include <QLineEdit>

NameDialog::NameDialog(const QString& name, QWidget* parent, const QString& title)
    : LineEditDialog(tr("Name:"), name, parent)
{
    Edit()->setMaxLength(kMaxLength);
    Edit()->selectAll();
    if (!title.isEmpty())
        setWindowTitle(title);
}

QString NameDialog::GetName() const
{
    return Edit()->text();
}
