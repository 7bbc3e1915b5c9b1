#pragma once

#include <QDir>
#include <QMap>
#include <QString>

class QXmlStreamWriter;

// The program's memory of where the user last picked files, one path per purpose, kept
// in "Preferences.xml" inside the preferences folder.
//
// One shared instance, counted by its users: Acquire creates and loads it on first use
// and counts one more user; Release counts one less and, at zero, saves and deletes it.
// Hold a reference (ScopedPreferences does it for a scope) for as long as the pointer is
// used. Acquire and Release belong to the GUI thread; the entries, the file and the folder
// are guarded by one process-wide mutex, so LastPath and SetLastPath may be called from
// any thread while a reference is held.
//
// Every change is written at once, atomically: a failed write answers false and leaves
// the previous file whole. A missing, unreadable or malformed file starts an empty memory
// and is replaced by the next successful write.
class Preferences final
{
public:
    // The purposes whose last location is remembered. A key is an XML element name in
    // the file, so new keys must be valid XML names (SetLastPath refuses others).
    static constexpr const char* kContentExport = "content_export";
    static constexpr const char* kContentFolderImport = "ContentFolderImport";
    static constexpr const char* kFirmwareUpgrade = "firmware_upgrade";
    static constexpr const char* kMosavraMediaSelection = "mosavra_media_selection";

    static constexpr const char* kFileName = "Preferences.xml";

    static Preferences* Acquire();
    // A Release without a matching Acquire changes nothing.
    static void Release();

    // The folder that holds the file; empty (the default) means the working directory.
    // Takes effect at the next load or save.
    static void SetFolder(const QString& folder);
    static QString Folder();

    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    // The path stored for `key`, or an empty string when there is none.
    QString LastPath(const QString& key) const;

    // Stores `path` for `key` and saves at once. False when the pair cannot be stored
    // (the key is not a plain XML name or is the root's own, or the path holds characters
    // XML cannot carry), which changes nothing, or when the file could not be written, in
    // which case the entry stays in memory and the next successful save keeps it.
    bool SetLastPath(const QString& key, const QString& path);

    // Stores the folder that holds `chosenFile` (an absolute folder path, leading "/"
    // included) for `key`: what a file dialog remembers after the user picked a file.
    bool SetLastDirectory(const QString& key, const QString& chosenFile);

    // Replaces the entries with those of the file (elements whose names no key could have
    // are passed over); false (entries unchanged) when the file is missing, unreadable or
    // malformed.
    bool Load();
    // Writes the entries, or removes the file when there are none. False when the file
    // could not be written or removed; the old file is then left as it was.
    bool Save();

private:
    Preferences() = default;
    ~Preferences(); // saves, but leaves a file it could not read when nothing was set

    QDir Directory() const;
    bool WriteEntries(QXmlStreamWriter* writer) const;
    QString FilePath() const;

    QMap<QString, QString> entries_;
    // The file is there but could not be read, and nothing was set since.
    bool keepUnreadFile_ = false;
};

// Holds one reference on the shared Preferences for a scope. GUI thread.
class ScopedPreferences
{
public:
    ScopedPreferences() : preferences_(Preferences::Acquire()) {}
    ~ScopedPreferences() { Preferences::Release(); }
    ScopedPreferences(const ScopedPreferences&) = delete;
    ScopedPreferences& operator=(const ScopedPreferences&) = delete;

    Preferences* operator->() const { return preferences_; }
    Preferences& operator*() const { return *preferences_; }

private:
    Preferences* preferences_;
};
