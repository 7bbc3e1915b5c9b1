#pragma once

#include "library/archive/ArchiveResult.h"
#include "library/config/ConfigFile.h"

#include <QSet>
#include <QString>

#include <optional>

namespace LibraryConfig {

// Holds the config.xml files written into folders that a long change makes, and writes each
// of them once, when the change is over.
//
// A copy that fills a new folder adds its items one by one, and every addition rewrites the
// folder's config.xml (atomically: a temporary file, a flush to disk, a rename). A package
// import or export of a thousand images would write a thousand files where twenty-one
// describe the end result. While a hold lives, Store keeps the last document of each folder
// it covers in memory instead; Write puts them on disk. ReadConfig reads a held document as
// if it were the file.
//
// A hold covers the folders below `top` whose first component under `top` did not exist
// when the hold began (so folders made by the change, never the existing ones beside them),
// and `top` itself only when asked (an archive being written, which is new as a whole).
// What a hold covers is the caller's own work: should the change fail, the caller removes
// what it made, and Write then passes over the folders that are gone.
//
// The destructor writes what is still held, so that no described state is ever dropped
// unnoticed. Thread-safe: Store and ReadConfig may run on an operation's worker thread while
// the hold belongs to the GUI thread.
class StoreHold
{
public:
    enum class Top { Excluded, Included };

    StoreHold(const QString& top, Top coverTop);
    ~StoreHold();
    StoreHold(const StoreHold&) = delete;
    StoreHold& operator=(const StoreHold&) = delete;

    // Writes every held document (ConfigFile's Store), skipping folders that no longer
    // exist, and stops holding. The first failure, naming its file; the others are still
    // written.
    ArchiveResult Write();

    // Store's hook: true when `dirPath` is covered by a live hold, which then keeps
    // `document` as that folder's file.
    static bool Hold(const QString& dirPath, const Document& document);
    // ReadConfig's hook: the held document of `dirPath`, if a live hold has one.
    static std::optional<Document> Held(const QString& dirPath);

private:
    bool Covers(const QString& dirPath) const;

    QString top_;
    Top coverTop_;
    QSet<QString> existing_; // first components under top_ when the hold began
    // Held documents by folder path, in the order first held.
    QList<std::pair<QString, Document>> held_;
    bool active_ = true;
};

} // namespace LibraryConfig
