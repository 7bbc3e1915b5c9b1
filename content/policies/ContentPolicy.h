#pragma once

#include "content/policies/PolicyBase.h"

#include <algorithm>

template <class A, class B>
class CombinedPolicy;

// Base of the rule classes: `Policy` is the rule class itself. Each rule class exists once,
// made on first use without a class name (so outside the registry); the named policies
// derive from a rule class or a combination and give their own name.
//
// ContentPolicy<A>::Combine<B> joins two rules (see CombinedPolicy).
template <class Policy>
class ContentPolicy : public PolicyBase
{
public:
    explicit ContentPolicy(const char* className = nullptr) : PolicyBase(className) {}

    // The rule's own singleton (not the named policies': they have their own Instance).
    static Policy* Instance()
    {
        static Policy instance;
        return &instance;
    }

    template <class B>
    using Combine = CombinedPolicy<Policy, B>;
};

// The answers of two rules joined: ranges intersect, either clash counts, the first rule
// resolves a clash and the second only when the first changed nothing, both must accept,
// and either rule's read-only or view-only holds. A and B are rule classes (or
// combinations), asked through their singletons.
template <class A, class B>
class CombinedPolicy : public ContentPolicy<CombinedPolicy<A, B>>
{
public:
    explicit CombinedPolicy(const char* className = nullptr) : ContentPolicy<CombinedPolicy<A, B>>(className) {}

    int MinAddress(ContentFolder* folder) override
    {
        return std::max(A::Instance()->MinAddress(folder), B::Instance()->MinAddress(folder));
    }
    int MaxAddress(ContentFolder* folder) override
    {
        return std::min(A::Instance()->MaxAddress(folder), B::Instance()->MaxAddress(folder));
    }
    int DefaultAddress(ContentFolder* folder) override
    {
        const int address = A::Instance()->DefaultAddress(folder);
        return address > 0 ? address : B::Instance()->DefaultAddress(folder);
    }
    bool Conflicts(ContentFolder* folder, const ContentBase* child, const QString& name, int address) override
    {
        return A::Instance()->Conflicts(folder, child, name, address)
            || B::Instance()->Conflicts(folder, child, name, address);
    }
    bool MakeUnique(ContentFolder* folder, const ContentBase* child, QString& name, int& address) override
    {
        if (A::Instance()->MakeUnique(folder, child, name, address))
            return true;
        return B::Instance()->MakeUnique(folder, child, name, address);
    }
    bool Accepts(ContentFolder* folder, const std::type_info& type) override
    {
        return A::Instance()->Accepts(folder, type) && B::Instance()->Accepts(folder, type);
    }
    bool IsChildrenReadOnly(ContentFolder* folder) override
    {
        return A::Instance()->IsChildrenReadOnly(folder) || B::Instance()->IsChildrenReadOnly(folder);
    }
    bool IsViewOnly(ContentFolder* folder) override
    {
        return A::Instance()->IsViewOnly(folder) || B::Instance()->IsViewOnly(folder);
    }
    bool IsReadOnly(ContentFolder* folder) override
    {
        return A::Instance()->IsReadOnly(folder) || B::Instance()->IsReadOnly(folder);
    }
};

// Children's names are unique (case-sensitive); addresses are not compared for clashes.
// MakeUnique numbers the name "name (2)", "name (3)", … (the name shortened so that the
// result has at most 14 characters) and then moves the address up past every sibling's,
// without applying any range: the caller checks the range.
class UniqueFilenamePolicy : public ContentPolicy<UniqueFilenamePolicy>
{
public:
    explicit UniqueFilenamePolicy(const char* className = nullptr) : ContentPolicy(className) {}

    bool Conflicts(ContentFolder* folder, const ContentBase* child, const QString& name, int address) override;
    bool MakeUnique(ContentFolder* folder, const ContentBase* child, QString& name, int& address) override;
};

// The longest a numbered name may be: room is left so that a number of two more digits
// still fits the 16 characters a node keeps.
constexpr int kNumberedNameLength = 14;
// "name (n)" with `name` shortened so that the whole is at most kNumberedNameLength
// characters: the candidates of the name make-unique rules.
QString NumberedName(const QString& name, int number);

// The unique-address walk shared by the rules: the lowest value at or above `address` that
// no child of `folder` other than `child` uses (restarting the walk after every bump).
int NextUnusedAddress(ContentFolder* folder, const ContentBase* child, int address);
// Whether a child of `folder` other than `child` is named exactly `name`.
bool NameInUse(ContentFolder* folder, const ContentBase* child, const QString& name);
// Whether a child of `folder` other than `child` has `address`.
bool AddressInUse(ContentFolder* folder, const ContentBase* child, int address);

// Children's addresses lie in Min..Max and are unique, except address 0 (none), which
// never clashes. MakeUnique moves a non-zero address up past every sibling's without
// applying the range (the caller checks it); the name is never changed.
template <int Min, int Max>
class UniqueDMXChannelPolicy : public ContentPolicy<UniqueDMXChannelPolicy<Min, Max>>
{
public:
    explicit UniqueDMXChannelPolicy(const char* className = nullptr)
        : ContentPolicy<UniqueDMXChannelPolicy<Min, Max>>(className)
    {
    }

    int MinAddress(ContentFolder*) override { return Min; }
    int MaxAddress(ContentFolder*) override { return Max; }
    bool Conflicts(ContentFolder* folder, const ContentBase* child, const QString&, int address) override
    {
        return address != 0 && AddressInUse(folder, child, address);
    }
    bool MakeUnique(ContentFolder* folder, const ContentBase* child, QString&, int& address) override
    {
        if (address == 0)
            return false;
        const int unused = NextUnusedAddress(folder, child, address);
        if (unused == address)
            return false;
        address = unused;
        return true;
    }
};

template <int On>
class ViewOnlyPolicy : public ContentPolicy<ViewOnlyPolicy<On>>
{
public:
    explicit ViewOnlyPolicy(const char* className = nullptr) : ContentPolicy<ViewOnlyPolicy<On>>(className) {}
    bool IsViewOnly(ContentFolder*) override { return On != 0; }
};

template <int On>
class ChildrenReadOnlyPolicy : public ContentPolicy<ChildrenReadOnlyPolicy<On>>
{
public:
    explicit ChildrenReadOnlyPolicy(const char* className = nullptr)
        : ContentPolicy<ChildrenReadOnlyPolicy<On>>(className)
    {
    }
    bool IsChildrenReadOnly(ContentFolder*) override { return On != 0; }
};

template <int On>
class ReadOnlyPolicy : public ContentPolicy<ReadOnlyPolicy<On>>
{
public:
    explicit ReadOnlyPolicy(const char* className = nullptr) : ContentPolicy<ReadOnlyPolicy<On>>(className) {}
    bool IsReadOnly(ContentFolder*) override { return On != 0; }
};
