#pragma once

#include "library/archive/ArchiveEngines.h"
#include "library/archive/ArchiveResult.h"

#include <QString>

#include <memory>
#include <optional>

// Chooses the engine for a path that runs through a package archive, and holds the
// process-wide switches that decide it.
//
// Routing (create): a name runs through a package when one of its path components ends
// with ".qelpkg", ".qrvpkg", ".brevantcollage" or ".cindralcollage" (tested in that order,
// without regard to case) and that part is not a folder on disk. Then:
//
//   ".qrvpkg" (firmware)                      ArchiveReader, always
//   the archive is a writer destination       ArchiveWriter (EncryptedArchiveWriter when
//                                             the destination asked for encrypted records)
//   ".qelpkg" named with "decode#" in front   EncryptedArchiveReader
//   otherwise                                 ArchiveReader
//
// Writer destinations exist only inside an ArchiveWriterEnabler's scope, and only for its
// one archive: every other package goes on being read, whichever thread asks. Names with
// search-path prefixes ("Firmware:...") are resolved by the file layer before they get here.
//
// The enablers are counted per archive: each scope adds its own registration for its one
// archive and takes only that away when it ends, in whatever order the scopes end. Of the
// scopes alive for an archive, the one made last decides: writer (ArchiveWriterEnabler) or
// reader (ArchiveReaderEnabler). So an import of one package never touches the export of
// another, nested scopes behave as nested, and no ending order can leave a package in
// writer mode.
//
// Thread-safe.
class CustomFileSystemEngineHandler
{
public:
    // Routing needs no instance. main() keeps one for the life of the window, as the
    // place where package access is known to end: destroying it drops the cached archive
    // indexes.
    CustomFileSystemEngineHandler();
    ~CustomFileSystemEngineHandler();
    CustomFileSystemEngineHandler(const CustomFileSystemEngineHandler&) = delete;
    CustomFileSystemEngineHandler& operator=(const CustomFileSystemEngineHandler&) = delete;

    // How members of a written archive are stored.
    enum class MemberEncoding { Plain, EncryptedRecords };

    // The engine for a name (as passed in; the engine keeps it), or null for a plain path
    // or while a Suspender is in scope. May throw std::runtime_error from the cipher of an
    // EncryptedArchiveReader.
    static std::unique_ptr<ArchiveEngine> create(const QString& fileName);

    // False inside a Suspender's scope.
    static bool ArchiveHandlerActive();
    // True while some archive is a writer destination.
    static bool ArchiveWriterMode();
    // Whether an archive file (any spelling of its path) is a writer destination now.
    static bool IsWriterDestination(const QString& archivePath);

    // One scope's say on how one archive is routed; its destruction takes exactly that say
    // away again.
    class Enabler
    {
    public:
        virtual ~Enabler();
        Enabler(const Enabler&) = delete;
        Enabler& operator=(const Enabler&) = delete;

    protected:
        Enabler() = default;
        // Gives this scope its say on the archive file `archiveFile` (absolute, without
        // "decode#"): written with `encoding`, or read.
        void Register(const QString& archiveFile, bool writer, MemberEncoding encoding);
        // Takes it away (once).
        void Unregister();

    private:
        QString archiveFile_;
        quint64 serial_ = 0;  // 0: no say
    };

    // Makes one archive a writer destination for its scope (an export). Paths inside it
    // then write members, which are collected in memory; the archive is written when
    // Commit() is called — or, failing that, when the scope ends — to a temporary file
    // renamed over the destination only when all went well. Until then the destination on
    // disk is untouched.
    //
    // The enabler is a user of the archive's writing stream, as is every file open for
    // writing in it; the archive is written by the last of them to let go (normally
    // Commit(), after the export has closed its files).
    class ArchiveWriterEnabler : public Enabler
    {
    public:
        // `archivePath` names the archive (".qelpkg", ".brevantcollage" or
        // ".cindralcollage"; a search-path prefix or "decode#" in front is allowed).
        // Firmware packages and other paths are refused: nothing becomes writable and
        // Commit() reports the refusal.
        explicit ArchiveWriterEnabler(const QString& archivePath,
                                      MemberEncoding encoding = MemberEncoding::Plain);
        ~ArchiveWriterEnabler() override;

        // Writes the archive now and answers how it went; the archive stops being a writer
        // destination. A failure names the archive and the cause. When a file is still
        // open for writing in the archive, the answer is a failure saying so, and the
        // archive is written when that file is closed. Later calls answer the first result.
        ArchiveResult Commit();
        // Gives the export up: nothing is written and the destination stays as it was.
        void Discard();
        // The absolute path of the archive file; empty when refused.
        const QString& ArchiveFile() const { return archiveFile_; }

    private:
        ArchiveResult Finish(bool discard);

        QString archiveFile_;
        QString refusal_;
        bool holding_ = false;
        std::optional<ArchiveResult> result_;
    };

    // Makes the package an import reads a reader's for its scope, also while an export
    // writes it (the import then reads the file as it is on disk). Other packages are not
    // touched. A path that is not a package gives a scope without effect.
    class ArchiveReaderEnabler : public Enabler
    {
    public:
        explicit ArchiveReaderEnabler(const QString& archivePath);
    };

    // Turns routing off for its scope, so that every path is a plain path (to look at an
    // archive file itself). Nests.
    class Suspender
    {
    public:
        Suspender();
        ~Suspender();
        Suspender(const Suspender&) = delete;
        Suspender& operator=(const Suspender&) = delete;
    };
};
