#pragma once

#include "content/policies/PolicyFolder.h"
#include "library/archive/ArchiveResult.h"
#include "library/archive/FileLayer.h"

#include <QStringView>
#include <QXmlStreamAttributes>

#include <type_traits>

class PolicyBase;

namespace LibraryConfig {

// Receives the start of every element of a config.xml, in document order.
class ElementHandler
{
public:
    virtual ~ElementHandler() = default;
    virtual void StartElement(QStringView qualifiedName, const QXmlStreamAttributes& attributes) = 0;
};

// Reads "config.xml" in `dir` and hands every element's start to `handler`, up to the end
// of the document or its first error. What the handler did before an error stays done.
// Fails, handing out nothing, when the file is missing, unreadable or larger than
// kMaxFileSize; fails after the elements before the error when the XML is not well-formed.
ArchiveResult ReadConfig(const FileLayer::Dir& dir, ElementHandler& handler);
// Whether `dir` has a "config.xml" for ReadConfig: on disk, or held by a StoreHold.
bool HasConfig(const FileLayer::Dir& dir);

// The reader's rules, applied to a node whose policy folders are of class `Self`
// (ContentPolicyFolder or MosavraContentPolicyFolder). Element names are compared
// case-sensitively; anything else is ignored.
//
// `objects`:
//   - `policy`: the registered policy of that class name (PolicyRegistry, any case) becomes
//     the node's, and its child policy (NewChildPolicy(node, 0)) that of every policy folder
//     below the node. An unknown name, or a policy that names no child policy, changes
//     nothing.
//   - `version`: with a version field given (a root), its decimal value, 0 when not a
//     number; ignored otherwise.
// `package`, `folder`, `content` (alike in every file): the first child whose name equals
// `name` without regard to case gets
//   - `address`: its decimal value; 0 when absent, not a number or outside 0..255;
//   - `mosavraID`: its unsigned 16-bit decimal value; 0 when absent or not one;
//   - `policy`, when the child is a policy folder of class `Self`: as for `objects`, on the
//     child and below it.
// An element that names no child is ignored: no element ever makes a node. Where two
// elements name one child, the later wins.
//
// The node is not owned. Call under ContentMutex (the setters take it again).
template <class Self>
class ConfigElementRules : public ElementHandler
{
public:
    // `node` may be null: nothing is then applied. `version` is the root's stored format
    // version, or null for every other node.
    ConfigElementRules(PolicyFolderT<Self>* node, int* version);

    void StartElement(QStringView qualifiedName, const QXmlStreamAttributes& attributes) override;

private:
    static void ApplyPolicy(PolicyFolderT<Self>* folder, const QString& className);
    void ApplyToChild(const QXmlStreamAttributes& attributes);

    PolicyFolderT<Self>* const node_;
    int* const version_;
};

extern template class ConfigElementRules<ContentPolicyFolder>;
extern template class ConfigElementRules<MosavraContentPolicyFolder>;

namespace detail {
template <class Self>
Self* PolicyFolderClassOf(PolicyFolderT<Self>*); // never defined: only its type is used
}
// The policy-folder class (ContentPolicyFolder or MosavraContentPolicyFolder) `T` derives from.
template <class T>
using PolicyFolderClass = std::remove_pointer_t<decltype(detail::PolicyFolderClassOf(static_cast<T*>(nullptr)))>;

// The reader of node class `T`'s file: a library folder, package or root of either library
// (any class derived from ContentPolicyFolder or MosavraContentPolicyFolder).
template <class T>
class ConfigHandler : public ConfigElementRules<PolicyFolderClass<T>>
{
public:
    explicit ConfigHandler(T* node, int* version = nullptr) : ConfigElementRules<PolicyFolderClass<T>>(node, version) {}
};

} // namespace LibraryConfig
