#pragma once

#include "content/ContentBase.h"
#include "content/ContentMutex.h"

#include <QString>

// A node of class `Base` whose name is kept whole, without the 16-character cut of
// ContentBase::SetName: names that never reach a fixture or a directory of the libraries
// (the roots, the Mosavra packages, a package archive's base name, the in-memory packages).
template <class Base>
class WholeNameNode : public Base
{
public:
    using Base::Base;

    QString GetName() const override
    {
        ContentLocker lock(&ContentMutex);
        return name_;
    }
    // Stores `name` uncut and emits NameChanged with the old name.
    bool SetName(const QString& name) override
    {
        ContentLocker lock(&ContentMutex);
        const QString oldName = name_;
        name_ = name;
        emit this->NameChanged(this, oldName);
        return true;
    }

private:
    QString name_;
};
