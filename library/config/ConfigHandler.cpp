#include "library/config/ConfigHandler.h"

#include "content/policies/PolicyBase.h"
#include "library/config/ConfigFile.h"
#include "library/config/StoreHold.h"

#include <QXmlStreamReader>

namespace LibraryConfig {
namespace {

// The highest address a node may carry: fixtures number their folders and files in one byte.
constexpr int kMaxAddress = 255;

// Reads a whole file of at most kMaxFileSize bytes.
ArchiveResult ReadBounded(const QString& path, QByteArray* bytes)
{
    // Only a regular file (or package member): a device or pipe of that name would never end.
    if (!FileLayer::IsFile(path))
        return ArchiveResult::Failure(QStringLiteral("\"%1\" was not found").arg(path));
    FileLayer::File file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ArchiveResult::Failure(file.errorString());
    QByteArray data;
    char chunk[16384];
    while (true) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            return ArchiveResult::Failure(QStringLiteral("\"%1\" cannot be read: %2").arg(path, file.errorString()));
        if (got == 0)
            break;
        if (data.size() + got > kMaxFileSize)
            return ArchiveResult::Failure(
                QStringLiteral("\"%1\" is larger than a configuration file may be (%2 bytes)").arg(path).arg(kMaxFileSize));
        data.append(chunk, got);
    }
    *bytes = std::move(data);
    return ArchiveResult::Success();
}

// The file as stored: the document a StoreHold keeps for the folder, else the file on disk.
ArchiveResult ReadStored(const FileLayer::Dir& dir, QByteArray* bytes)
{
    const QString path = dir.absoluteFilePath(kFileName);
    const std::optional<Document> held = StoreHold::Held(dir.absolutePath());
    if (!held)
        return ReadBounded(path, bytes);
    if (held->entries.isEmpty() && held->form != Form::Package)
        return ArchiveResult::Failure(QStringLiteral("\"%1\" was not found").arg(path));
    return ToXml(*held, bytes);
}

int AddressValue(QStringView text)
{
    bool ok = false;
    const int address = text.toInt(&ok, 10);
    return ok && address >= 0 && address <= kMaxAddress ? address : 0;
}

} // namespace

ArchiveResult ReadConfig(const FileLayer::Dir& dir, ElementHandler& handler)
{
    const QString path = dir.absoluteFilePath(kFileName);
    QByteArray bytes;
    const ArchiveResult read = ReadStored(dir, &bytes);
    if (!read)
        return read;
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            handler.StartElement(reader.qualifiedName(), reader.attributes());
    }
    if (reader.hasError())
        return ArchiveResult::Failure(QStringLiteral("\"%1\" is not a well-formed configuration file: %2 (line %3, column %4)")
                                          .arg(path, reader.errorString())
                                          .arg(reader.lineNumber())
                                          .arg(reader.columnNumber()));
    return ArchiveResult::Success();
}

bool HasConfig(const FileLayer::Dir& dir)
{
    if (const std::optional<Document> held = StoreHold::Held(dir.absolutePath()))
        return !held->entries.isEmpty() || held->form == Form::Package;
    return FileLayer::Exists(dir.absoluteFilePath(kFileName));
}

template <class Self>
ConfigElementRules<Self>::ConfigElementRules(PolicyFolderT<Self>* node, int* version) : node_(node), version_(version)
{
}

template <class Self>
void ConfigElementRules<Self>::StartElement(QStringView qualifiedName, const QXmlStreamAttributes& attributes)
{
    if (!node_)
        return;
    if (qualifiedName == u"objects") {
        // A root's policy is its own, never its file's: a root writes none, and a foreign
        // one would leave the root's packages without their families.
        const QString policy = attributes.value(QLatin1StringView("policy")).toString();
        if (!policy.isEmpty() && !version_)
            ApplyPolicy(node_, policy);
        const QStringView version = attributes.value(QLatin1StringView("version"));
        if (!version.isEmpty() && version_)
            *version_ = version.toInt(nullptr, 10);
    } else if (qualifiedName == u"package" || qualifiedName == u"folder" || qualifiedName == u"content") {
        ApplyToChild(attributes);
    }
}

template <class Self>
void ConfigElementRules<Self>::ApplyPolicy(PolicyFolderT<Self>* folder, const QString& className)
{
    PolicyBase* policy = PolicyRegistry::Find(className);
    if (!policy)
        return;
    // A policy that names no policy for sub-folders would leave them with none at all.
    PolicyBase* childPolicy = policy->NewChildPolicy(folder, 0);
    if (!childPolicy)
        return;
    folder->SetPolicy(policy, false);
    folder->SetChildrenPolicy(childPolicy, true);
}

template <class Self>
void ConfigElementRules<Self>::ApplyToChild(const QXmlStreamAttributes& attributes)
{
    const QString name = attributes.value(QLatin1StringView("name")).toString().toLower();
    for (int i = 0; i < node_->ChildCount(); ++i) {
        ContentBase* child = node_->Child(i);
        if (child->GetName().toLower() != name)
            continue;
        child->SetAddress(AddressValue(attributes.value(QLatin1StringView("address"))));
        child->SetMosavraID(attributes.value(QLatin1StringView("mosavraID")).toUShort(nullptr, 10));
        const QString policy = attributes.value(QLatin1StringView("policy")).toString();
        if (!policy.isEmpty()) {
            if (auto* folder = qobject_cast<Self*>(child))
                ApplyPolicy(folder, policy);
        }
        return;
    }
}

template class ConfigElementRules<ContentPolicyFolder>;
template class ConfigElementRules<MosavraContentPolicyFolder>;

} // namespace LibraryConfig
