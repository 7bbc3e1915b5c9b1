#include "library/config/LibraryConfig.h"

#include "content/policies/PolicyBase.h"

namespace LibraryConfig {

Document Describe(Form form, const ContentFolder* node)
{
    ContentLocker lock(&ContentMutex);
    Document document;
    document.form = form;
    if (!node)
        return document;
    if (const PolicyBase* policy = PolicyOf(node))
        document.policy = QString::fromLatin1(policy->ClassName());
    for (int i = 0, count = node->ChildCount(); i < count; ++i) {
        const ContentBase* child = node->Child(i);
        document.entries.append(Entry{child->GetName(), child->GetAddress(), child->GetMosavraID()});
    }
    return document;
}

ArchiveResult SaveConfig(Form form, const ContentFolder* node, const FileLayer::Dir& dir)
{
    ContentLocker lock(&ContentMutex);
    return Store(dir, Describe(form, node));
}

ArchiveResult ApplyVersionRule(int& version, const std::function<ArchiveResult()>& rewriteAll)
{
    if (version == kVersion)
        return ArchiveResult::Success();
    const ArchiveResult rewritten = rewriteAll();
    if (rewritten)
        version = kVersion;
    return rewritten;
}

} // namespace LibraryConfig
