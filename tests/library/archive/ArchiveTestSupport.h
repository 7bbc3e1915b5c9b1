#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>

namespace archive_test {

// One member of a hand-made tar archive. The path goes into the header exactly as given
// (raw bytes, UTF-8), so tests can make the odd names other tools produce.
struct TarMember
{
    enum Type { File, Directory };
    QString path;
    Type type = File;
    QByteArray data;
};

// Writes a tar archive with libarchive directly (independent of the code under test),
// gzip-compressed unless told otherwise.
void WriteTar(const QString& file, const QList<TarMember>& members, bool gzip = true);

// The members of an archive as libarchive reports them, in archive order.
struct ListedMember
{
    QString path;
    bool directory = false;
    QByteArray data;
};
QList<ListedMember> ReadTar(const QString& file);

// Writes `to`: the package `from`, whose members are encrypted records under the stock
// key, with every record encrypted under `key` instead — a package made with another key.
void RekeyPackage(const QString& from, const QString& to, const std::array<unsigned char, 16>& key);

bool StartsWithGzipMagic(const QString& file);
QByteArray FileBytes(const QString& file);
QByteArray RandomBytes(int size);

// Runs a program; its standard output, or a null QByteArray when it cannot be run.
QByteArray RunProgram(const QString& program, const QStringList& arguments, int* exitCode);

// A fresh folder under the test process's temporary root.
class Folder
{
public:
    Folder();
    QString Path(const QString& name) const;
    QString Root() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// Collects the messages of the archive's writing streams while it lives, with their
// category switched on unless `enable` is false (then only what is logged by default).
class StreamMessages
{
public:
    explicit StreamMessages(bool enable = true);
    ~StreamMessages();
    QStringList Take();
};

} // namespace archive_test
