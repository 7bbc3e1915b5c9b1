#pragma once

#include "library/archive/ArchiveResult.h"

#include <QDir>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <memory>

class ArchiveEngine;
class QFileDevice;

// The program's file layer: everything that may lie inside a package archive (library
// folders, config.xml, LED images, firmware packages) is reached through here rather than
// through QFile/QDir, which know nothing of packages.
//
// A path is either plain — served by QFile/QDir — or runs through a package: the archive
// file's path, '/', and the member's path inside it ("Lib/p.qelpkg/f/a.bvi"); see
// CustomFileSystemEngineHandler for which paths those are and which engine serves them.
// "decode#" in front of a content package's path reads its members as encrypted records.
// A search-path prefix ("ContentLibraryRoot:", "StockContent:", "Firmware:", ... as set
// with QDir::setSearchPaths) is resolved as Qt does: the first of its folders in which
// the rest of the path exists, else the last.
//
// Inside a package, folders are the archive itself, its directory members, and paths
// that members lie below; members are read whole and cannot be removed or renamed; a
// package is written only while it is the destination of an ArchiveWriterEnabler.
//
// Every function may be called from any thread.
namespace FileLayer {

// The path with a search-path prefix resolved; other paths unchanged.
QString ResolveSearchPath(const QString& path);
// Resolved, made absolute and cleaned; "decode#" stays in front.
QString AbsolutePath(const QString& path);
// `path` inside folder `dir` ("decode#" of `dir` kept), cleaned (so ".." parts climb out
// of `dir`); `path` itself when absolute. For paths the program builds itself: a name that
// comes from outside goes through ChildPath.
QString FilePath(const QString& dir, const QString& path);

// The one door for a name from outside (a fixture, config.xml, an archive, the user) into a
// path: one component that stays inside its folder. Refused, with the reason: empty, "."
// or "..", absolute or a search-path name, or holding '/', '\' or NUL.
ArchiveResult CheckName(const QString& name);
// `name` inside folder `dir`; an empty path, with CheckName's reason in `error`, when the
// name is refused.
QString ChildPath(const QString& dir, const QString& name, QString* error = nullptr);
// The last part of a path, and that part up to its first '.'.
QString FileName(const QString& path);
QString BaseName(const QString& path);

// Whether the path runs through a package archive (and so is not served by QFile/QDir).
bool IsPackagePath(const QString& path);

bool Exists(const QString& path);
bool IsDir(const QString& path);
// Whether the folder at `path` can be listed whole: a directory that can be opened, or a
// package (or a folder in one) that can be read to its end — a damaged archive lists only
// the members before the damage, which is not what it holds. False for what is no folder.
bool IsListable(const QString& path);
bool IsFile(const QString& path);
// In bytes; inside a package the member's stored size (for "decode#" paths the size of
// its records, not of the plain bytes). 0 when it does not exist.
qint64 Size(const QString& path);

// The names in a folder, like QDir::entryList. Inside a package: QDir::Dirs/AllDirs and
// QDir::Files choose directories and files (no other filter bit applies), a name filter
// is matched against a member's whole path inside the archive (fnmatch-style, '*' also
// crossing '/', without regard to case), and sorting by name (with IgnoreCase, Reversed,
// DirsFirst, DirsLast) is honoured — without a sort flag names come in archive order.
QStringList EntryList(const QString& dir, const QStringList& nameFilters, QDir::Filters filters = QDir::NoFilter,
                      QDir::SortFlags sort = QDir::NoSort);

// Makes one folder (its parent must exist on disk; inside a package being written the
// folder becomes a directory member). False when it cannot.
bool MakeDir(const QString& path);
// Removes an empty folder / a file / renames; false inside packages.
bool RemoveDir(const QString& path);
bool Remove(const QString& path);
bool Rename(const QString& from, const QString& to);

// A file of the layer: a QIODevice like QFile.
//
// Reading a package member loads it whole at open (within the size cap for its kind,
// ArchiveLimits) and then seeks freely. Writing over a plain file goes to a temporary file
// that replaces the file when closed (or, for ReadWrite and Append, to the file itself); a
// plain file that does not exist yet is made and written under its own name.  Writing
// a package member works only while its archive is a writer destination; the bytes are
// collected with the archive's other members and written with it. Package members cannot
// be opened ReadWrite.
//
// Close() says whether what was written reached its destination; close() and the
// destructor do the same and drop the answer. A write that does not take all its bytes
// (a full disk, a member past its size cap) spoils the whole file: a plain file keeps its
// old contents (a new one is removed again), and a package being written fails to commit. A File is used by one thread
// at a time.
class File : public QIODevice
{
    Q_OBJECT
public:
    explicit File(const QString& path, QObject* parent = nullptr);
    ~File() override;

    QString fileName() const { return path_; }

    bool open(OpenMode mode) override;
    void close() override;
    // Closes and commits. A failure names the file and the cause (also in errorString()).
    // When this was the last user of a package being written, the answer is the outcome of
    // writing the package.
    ArchiveResult Close();

    bool isSequential() const override;
    qint64 size() const override;
    bool seek(qint64 position) override;

protected:
    qint64 readData(char* data, qint64 maximum) override;
    qint64 writeData(const char* data, qint64 length) override;

private:
    bool Fail(const QString& message);
    void NoteWriteFailure(const QString& reason);
    bool OpenMember(ArchiveEngine& engine, OpenMode mode);
    bool OpenPlain(const QString& absolute, OpenMode mode);

    enum class Backend { None, Plain, MemberRead, MemberWrite };

    const QString path_;
    Backend backend_ = Backend::None;
    std::unique_ptr<QFileDevice> plain_;
    std::unique_ptr<ArchiveEngine> engine_;
    QByteArray memberData_;
    bool saving_ = false; // plain_ is a QSaveFile
    bool fresh_ = false;  // plain_ is a new file made by this open
    QString writeFailure_; // why a write did not take all its bytes; empty while all went well
};

// A folder of the layer: the parts of QDir that the program uses, for plain and package
// paths alike. A value; the path is resolved and made absolute when set.
//
// Everything that takes a name takes it through ChildPath: a name that would leave the
// folder (CheckName) gives an empty path and makes the operation fail. Callers that show
// the reason ask CheckName first.
class Dir
{
public:
    // The current folder.
    Dir();
    // An empty path (what a refused name leaves) gives a Dir that is no folder: it does not
    // exist and every operation on it fails.
    explicit Dir(const QString& path);

    QString path() const { return path_; }
    QString absolutePath() const { return path_; }
    QString absoluteFilePath(const QString& name) const { return ChildPath(path_, name); }
    QString filePath(const QString& name) const { return ChildPath(path_, name); }
    QString dirName() const { return FileName(path_); }

    bool exists() const { return !path_.isEmpty() && IsDir(path_); }
    bool exists(const QString& name) const;
    // Enters a sub-folder, or with "..", the parent; false, and no change, when it is not a
    // folder or the name is refused.
    bool cd(const QString& name);
    bool cdUp() { return cd(QStringLiteral("..")); }

    bool mkdir(const QString& name) const;
    bool rmdir(const QString& name) const;
    bool remove(const QString& name) const;
    bool rename(const QString& oldName, const QString& newName) const;

    QStringList entryList(const QStringList& nameFilters, QDir::Filters filters = QDir::NoFilter,
                          QDir::SortFlags sort = QDir::NoSort) const
    {
        return path_.isEmpty() ? QStringList() : EntryList(path_, nameFilters, filters, sort);
    }
    QStringList entryList(QDir::Filters filters = QDir::NoFilter, QDir::SortFlags sort = QDir::NoSort) const
    {
        return entryList(QStringList(), filters, sort);
    }

private:
    QString path_;
};

} // namespace FileLayer
