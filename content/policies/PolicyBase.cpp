#include "content/policies/PolicyBase.h"

#include "content/ContentFolder.h"
#include "content/policies/NamedPolicies.h"

#include <QByteArray>
#include <QMutex>

namespace {

// Both are constant-initialised, so policies built by static constructors of any
// translation unit find them ready.
QBasicMutex registryMutex;
constinit PolicyBase* registryHead = nullptr;

} // namespace

PolicyBase::PolicyBase(const char* className)
{
    if (className)
        PolicyRegistry::Add(this);
}

PolicyBase::~PolicyBase()
{
    if (registered_)
        PolicyRegistry::Remove(this);
}

int PolicyBase::MinAddress(ContentFolder*)
{
    return 0;
}

int PolicyBase::MaxAddress(ContentFolder*)
{
    return 255;
}

int PolicyBase::DefaultAddress(ContentFolder* folder)
{
    return folder ? folder->NextFreeAddress(0) : -1;
}

bool PolicyBase::Conflicts(ContentFolder*, const ContentBase*, const QString&, int)
{
    return false;
}

bool PolicyBase::MakeUnique(ContentFolder*, const ContentBase*, QString&, int&)
{
    return false;
}

bool PolicyBase::Accepts(ContentFolder* folder, const std::type_info& type)
{
    return AcceptsType(folder, type);
}

bool PolicyBase::IsChildrenReadOnly(ContentFolder*)
{
    return false;
}

bool PolicyBase::IsViewOnly(ContentFolder*)
{
    return false;
}

bool PolicyBase::IsReadOnly(ContentFolder*)
{
    return false;
}

bool PolicyBase::AcceptsType(ContentFolder*, const std::type_info&)
{
    return true;
}

Content* PolicyBase::ConvertContent(ContentFolder*, const Content*)
{
    return nullptr;
}

const char* PolicyBase::ClassName() const
{
    return "";
}

const char* PolicyBase::DisplayName() const
{
    return "";
}

const char* PolicyBase::FamilySuffix() const
{
    return "";
}

QList<Content*> PolicyBase::ImportFile(ContentFolder*, QWidget*, const QFileInfo&, bool)
{
    return {};
}

PolicyBase* PolicyBase::NewChildPolicy(ContentFolder*, int kind)
{
    return kind == 0 ? this : nullptr;
}

void PolicyRegistry::Add(PolicyBase* policy)
{
    QMutexLocker lock(&registryMutex);
    policy->next_ = registryHead;
    policy->registered_ = true;
    registryHead = policy;
}

void PolicyRegistry::Remove(PolicyBase* policy)
{
    QMutexLocker lock(&registryMutex);
    for (PolicyBase** link = &registryHead; *link; link = &(*link)->next_) {
        if (*link == policy) {
            *link = policy->next_;
            break;
        }
    }
    policy->registered_ = false;
}

PolicyBase* PolicyRegistry::Find(const char* className)
{
    if (!className)
        return nullptr;
    RegisterNamedPolicies();
    QMutexLocker lock(&registryMutex);
    for (PolicyBase* policy = registryHead; policy; policy = policy->next_) {
        if (qstricmp(policy->ClassName(), className) == 0)
            return policy;
    }
    return nullptr;
}

PolicyBase* PolicyRegistry::Find(const QString& className)
{
    return Find(className.toLatin1().constData());
}

QList<PolicyBase*> PolicyRegistry::All()
{
    RegisterNamedPolicies();
    QMutexLocker lock(&registryMutex);
    QList<PolicyBase*> policies;
    for (PolicyBase* policy = registryHead; policy; policy = policy->next_)
        policies.append(policy);
    return policies;
}
