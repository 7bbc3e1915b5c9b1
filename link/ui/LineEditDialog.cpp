#include "link/ui/LineEditDialog.h"

#include "link/ui/DialogFit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LineEditDialog::LineEditDialog(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(text, this)), ok_(new QPushButton(tr("OK"), this))
{
    auto* label = new QLabel(caption, this);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    label->setObjectName("captionLabel");
    edit_->setObjectName("lineEdit");
    ok_->setObjectName("okButton");
    cancel->setObjectName("cancelButton");

    auto* layout = new QVBoxLayout(this);
    auto* field = new QHBoxLayout;
    field->addWidget(label);
    field->addWidget(edit_);
    layout->addLayout(field);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    // A title such as "New BREVANT Package" is wider than the field and its buttons.
    new WidthFloor(this, layout);

    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    edit_->setFocus();
    edit_->selectAll();
}
