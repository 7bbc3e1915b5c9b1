#include "link/ui/Preferences.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtDebug>

namespace {

constexpr QLatin1StringView kRootElement("lastPath");
constexpr QLatin1StringView kPathAttribute("path");

// Recursive because Load and Save reach the folder, which takes it too.
QRecursiveMutex& Mutex()
{
    static QRecursiveMutex mutex;
    return mutex;
}

// Guarded by Mutex().
Preferences* g_instance = nullptr;
int g_users = 0;
QString g_folder;

// Keys become element names. Keeping them to plain ASCII names (no namespace colon)
// means every key the file holds reads back; a key that does not would make the whole
// file unreadable and lose every other entry with it.
bool IsStorableKey(const QString& key)
{
    if (key.isEmpty() || key == kRootElement)
        return false;
    auto isLetter = [](QChar c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isLetter(key.front()) && key.front() != '_')
        return false;
    for (QChar c : key) {
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '-' && c != '.')
            return false;
    }
    return true;
}

// Paths become attribute values, which XML cannot hold every character in (control
// characters, U+FFFE, U+FFFF, unpaired surrogates). Such a path is refused rather than
// kept: the writer would fail on it at every later save, and no other entry would be
// saved again.
bool IsStorableText(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                             (c >= 0xE000 && c <= 0xFFFD);
        if (!allowed)
            return false;
    }
    return true;
}

} // namespace

Preferences* Preferences::Acquire()
{
    QMutexLocker lock(&Mutex());
    if (!g_instance) {
        g_instance = new Preferences;
        g_instance->Load();
    }
    ++g_users;
    return g_instance;
}

void Preferences::Release()
{
    QMutexLocker lock(&Mutex());
    if (g_users > 0)
        --g_users;
    if (g_users == 0 && g_instance) {
        delete g_instance;
        g_instance = nullptr;
    }
}

void Preferences::SetFolder(const QString& folder)
{
    QMutexLocker lock(&Mutex());
    g_folder = folder;
}

QString Preferences::Folder()
{
    QMutexLocker lock(&Mutex());
    return g_folder;
}

Preferences::~Preferences()
{
    // A file that could not be read is left as it is unless something was set since: the
    // empty list would otherwise remove it.
    if (!keepUnreadFile_ && !Save())
        qWarning() << "Preferences: could not save" << FilePath();
}

QString Preferences::LastPath(const QString& key) const
{
    QMutexLocker lock(&Mutex());
    return entries_.value(key);
}

bool Preferences::SetLastPath(const QString& key, const QString& path)
{
    QMutexLocker lock(&Mutex());
    if (!IsStorableKey(key) || !IsStorableText(path)) {
        qWarning() << "Preferences: cannot store" << key << path;
        return false;
    }
    entries_.insert(key, path);
    keepUnreadFile_ = false;
    return Save();
}

bool Preferences::SetLastDirectory(const QString& key, const QString& chosenFile)
{
    return SetLastPath(key, QFileInfo(chosenFile).absolutePath());
}

QDir Preferences::Directory() const
{
    QMutexLocker lock(&Mutex());
    return QDir(g_folder); // an empty path is the working directory
}

QString Preferences::FilePath() const
{
    return Directory().absoluteFilePath(QLatin1StringView(kFileName));
}

bool Preferences::Load()
{
    QMutexLocker lock(&Mutex());
    QFile file(FilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        keepUnreadFile_ = file.exists();
        return false;
    }

    // Any element names an entry, at any depth; the root element starts the list afresh.
    // An element whose name no key could have (a namespace prefix, say) is passed over:
    // written back without the declarations it relied on, it would make the next load
    // refuse the whole file.
    QMap<QString, QString> read;
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = reader.qualifiedName().toString();
        if (name == kRootElement)
            read.clear();
        else if (IsStorableKey(name))
            read.insert(name, reader.attributes().value(kPathAttribute).toString());
    }
    if (reader.hasError()) {
        qWarning().noquote() << QStringLiteral("Preferences: %1 line %2: %3; starting without it")
                                    .arg(file.fileName())
                                    .arg(reader.lineNumber())
                                    .arg(reader.errorString());
        keepUnreadFile_ = true;
        return false;
    }
    keepUnreadFile_ = false;
    entries_ = std::move(read);
    return true;
}

bool Preferences::Save()
{
    QMutexLocker lock(&Mutex());
    const QString path = FilePath();
    if (entries_.isEmpty()) {
        QFile file(path);
        return !file.exists() || file.remove();
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QXmlStreamWriter writer(&file);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    const bool written = WriteEntries(&writer);
    writer.writeEndDocument();
    // commit() flushes the last buffered bytes itself but does not notice when that write
    // fails, and would put a cut-short file in place: flush first. Left uncommitted, the
    // save file drops what it wrote and the old file stays.
    return written && !writer.hasError() && file.flush() && file.commit();
}

bool Preferences::WriteEntries(QXmlStreamWriter* writer) const
{
    writer->writeStartElement(kRootElement);
    for (auto entry = entries_.cbegin(); entry != entries_.cend(); ++entry) {
        writer->writeStartElement(entry.key());
        writer->writeAttribute(kPathAttribute, entry.value());
        writer->writeEndElement();
    }
    writer->writeEndElement();
    return !writer->hasError();
}
