#include "library/config/ConfigFile.h"

#include "library/config/StoreHold.h"

#include <QXmlStreamWriter>

namespace LibraryConfig {
namespace {

QString ChildElement(Form form)
{
    switch (form) {
    case Form::Package: return QStringLiteral("folder");
    case Form::Root: return QStringLiteral("package");
    case Form::Folder:
    case Form::Collage: break;
    }
    return QStringLiteral("content");
}

} // namespace

bool XmlCanHold(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const char16_t u = c.unicode();
        const bool allowed = u == 0x09 || u == 0x0A || u == 0x0D || (u >= 0x20 && u < 0xD800)
                             || (u >= 0xE000 && u <= 0xFFFD);
        if (!allowed)
            return false;
    }
    return true;
}

namespace {

// Whether the writer can hold every text of `document`; the first it cannot, named.
ArchiveResult CheckWritable(const Document& document)
{
    if (!XmlCanHold(document.policy))
        return ArchiveResult::Failure(QStringLiteral("The policy name \"%1\" can't be written to %2")
                                          .arg(document.policy, kFileName));
    for (const Entry& entry : document.entries) {
        if (!XmlCanHold(entry.name))
            return ArchiveResult::Failure(QStringLiteral("The name \"%1\" can't be written to %2: it holds a "
                                                         "character XML can't hold")
                                              .arg(entry.name, kFileName));
    }
    return ArchiveResult::Success();
}

} // namespace

ArchiveResult ToXml(const Document& document, QByteArray* bytes)
{
    if (const ArchiveResult writable = CheckWritable(document); !writable)
        return writable;
    bytes->clear();
    QXmlStreamWriter writer(bytes);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("objects"));
    if (document.form == Form::Root)
        writer.writeAttribute(QStringLiteral("version"), QString::number(kVersion));
    else
        writer.writeAttribute(QStringLiteral("policy"), document.policy);
    const QString element = ChildElement(document.form);
    for (const Entry& entry : document.entries) {
        // A folder's items without an address need no line: 0 is what the reader assumes.
        if (document.form == Form::Folder && entry.address == 0)
            continue;
        writer.writeStartElement(element);
        writer.writeAttribute(QStringLiteral("name"), entry.name);
        if (document.form == Form::Collage)
            writer.writeAttribute(QStringLiteral("mosavraID"), QString::number(entry.mosavraId));
        writer.writeAttribute(QStringLiteral("address"), QString::number(entry.address));
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    if (writer.hasError())
        return ArchiveResult::Failure(QStringLiteral("%1 could not be encoded").arg(kFileName));
    return ArchiveResult::Success();
}

ArchiveResult Store(const FileLayer::Dir& dir, const Document& document)
{
    const QString path = dir.absoluteFilePath(kFileName);
    const bool removes = document.entries.isEmpty() && document.form != Form::Package;
    // Checked before the file is opened, or held: a text the writer cannot hold leaves the
    // old file. A held document is encoded only when it is written.
    if (!removes) {
        if (const ArchiveResult writable = CheckWritable(document); !writable)
            return writable;
    }
    if (StoreHold::Hold(dir.absolutePath(), document))
        return ArchiveResult::Success();

    if (removes) {
        FileLayer::Remove(path);
        if (FileLayer::Exists(path))
            return ArchiveResult::Failure(QStringLiteral("\"%1\" could not be removed").arg(path));
        return ArchiveResult::Success();
    }
    QByteArray bytes;
    if (const ArchiveResult encoded = ToXml(document, &bytes); !encoded)
        return encoded;
    FileLayer::File file(path);
    if (!file.open(QIODevice::WriteOnly))
        return ArchiveResult::Failure(file.errorString());
    // A short write spoils the file: Close() then keeps the old one and says why.
    const qint64 written = file.write(bytes);
    const ArchiveResult closed = file.Close();
    if (!closed)
        return closed;
    if (written != bytes.size())
        return ArchiveResult::Failure(QStringLiteral("\"%1\" could not be written completely").arg(path));
    return ArchiveResult::Success();
}

} // namespace LibraryConfig
