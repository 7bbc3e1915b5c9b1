#include "library/config/StoreHold.h"

#include <QDir>
#include <QMutex>
#include <QMutexLocker>

namespace LibraryConfig {
namespace {

// The live holds, and the documents they keep, are shared by every thread that stores.
QMutex holdsMutex;
QList<StoreHold*> holds;

QString Clean(const QString& path)
{
    return QDir::cleanPath(path);
}

} // namespace

StoreHold::StoreHold(const QString& top, Top coverTop) : top_(Clean(FileLayer::AbsolutePath(top))), coverTop_(coverTop)
{
    if (FileLayer::IsDir(top_)) {
        const QStringList names = FileLayer::EntryList(top_, {}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        existing_ = QSet<QString>(names.cbegin(), names.cend());
    }
    QMutexLocker lock(&holdsMutex);
    holds.append(this);
}

StoreHold::~StoreHold()
{
    if (const ArchiveResult written = Write(); !written)
        qWarning("%s", qPrintable(written.Message()));
}

ArchiveResult StoreHold::Write()
{
    QList<std::pair<QString, Document>> held;
    {
        QMutexLocker lock(&holdsMutex);
        if (!active_)
            return ArchiveResult::Success();
        active_ = false;
        holds.removeOne(this);
        held = std::exchange(held_, {});
    }
    ArchiveResult first = ArchiveResult::Success();
    for (const auto& [dirPath, document] : std::as_const(held)) {
        if (!FileLayer::IsDir(dirPath))
            continue; // removed since: its file went with it
        const ArchiveResult stored = Store(FileLayer::Dir(dirPath), document);
        if (!stored && first)
            first = ArchiveResult::Failure(QStringLiteral("\"%1\" could not be written: %2")
                                               .arg(FileLayer::FilePath(dirPath, kFileName), stored.Message()));
    }
    return first;
}

bool StoreHold::Covers(const QString& dirPath) const
{
    if (dirPath == top_)
        return coverTop_ == Top::Included;
    if (!dirPath.startsWith(top_) || dirPath.size() <= top_.size() || dirPath.at(top_.size()) != u'/')
        return false;
    const QString below = dirPath.mid(top_.size() + 1);
    return !existing_.contains(below.section(u'/', 0, 0));
}

bool StoreHold::Hold(const QString& dirPath, const Document& document)
{
    const QString path = Clean(dirPath);
    QMutexLocker lock(&holdsMutex);
    for (StoreHold* hold : std::as_const(holds)) {
        if (!hold->Covers(path))
            continue;
        for (auto& [heldPath, heldDocument] : hold->held_) {
            if (heldPath == path) {
                heldDocument = document;
                return true;
            }
        }
        hold->held_.append({path, document});
        return true;
    }
    return false;
}

std::optional<Document> StoreHold::Held(const QString& dirPath)
{
    const QString path = Clean(dirPath);
    QMutexLocker lock(&holdsMutex);
    for (const StoreHold* hold : std::as_const(holds)) {
        for (const auto& [heldPath, heldDocument] : hold->held_) {
            if (heldPath == path)
                return heldDocument;
        }
    }
    return std::nullopt;
}

} // namespace LibraryConfig
