#include "tests/library/LibraryTestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>

namespace library_test {

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void DeleteLaterNodes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

ContentBase* ChildNamed(ContentFolder* folder, const QString& name)
{
    for (int i = 0; i < folder->ChildCount(); ++i) {
        if (folder->Child(i)->GetName() == name)
            return folder->Child(i);
    }
    return nullptr;
}

QStringList Describe(ContentFolder* folder)
{
    QStringList lines;
    for (int i = 0; i < folder->ChildCount(); ++i)
        lines.append(QStringLiteral("%1@%2").arg(folder->Child(i)->GetName()).arg(folder->Child(i)->GetAddress()));
    return lines;
}

LibraryFolder::LibraryFolder() = default;

ScopedSearchPath::ScopedSearchPath(const QString& prefix, const QString& dir)
    : prefix_(prefix), saved_(QDir::searchPaths(prefix))
{
    QDir::setSearchPaths(prefix, {dir});
}

ScopedSearchPath::~ScopedSearchPath()
{
    QDir::setSearchPaths(prefix_, saved_);
}

} // namespace library_test
