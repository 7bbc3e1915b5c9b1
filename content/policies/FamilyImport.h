#pragma once

#include <QFileInfo>
#include <QList>
#include <QStringList>

#include <functional>

class Content;
class QWidget;

// The file import of the family folder policies: how one dropped or chosen file becomes an
// LED image of a folder's fixture family (0 the first family, 1 the second).
//
// - probe: nothing is read; a new blank image of the family (so that a drop can be tested).
// - the family's own file suffix ("bvi", "cdli", compared case-sensitively): the file is
//   loaded; the other family's suffix: loaded and converted to the folder's family.
// - any other file (a picture or a video): a new blank image of the family is handed to the
//   installed PictureImporter, which fills it through the import dialog; without an importer,
//   or when the user cancels, nothing is imported.
// A file that cannot be read (a family file that does not load, a picture or video the
// importer finds unreadable) gives nothing and is noted with the thread's UnreadableImports;
// no message is shown here. A resulting image is named after the file's base name (cut to
// 16 characters). The caller owns what is returned (empty or one image).
//
// GUI thread (the picture import opens dialogs over `parent`).
QList<Content*> ImportFamilyFile(int family, QWidget* parent, const QFileInfo& file, bool probe);

// What became of a picture or video handed to the PictureImporter.
enum class PictureImportResult {
    Imported,   // the user accepted the import and the image holds it
    Declined,   // the user cancelled, or the image is of neither family
    Unreadable, // the file holds no frame that can be read: of a kind not read, or damaged
};

// Fills the blank LED image `image` (a BrevantImage or CindralImage) from the picture or
// video `file`, asking the user through the image import dialog over `parent`.
using PictureImporter = std::function<PictureImportResult(QWidget* parent, const QFileInfo& file, Content& image)>;

// Installs the picture and video import, which lives with the image dialogs (the content
// engine has no widgets); an empty function removes it. Any thread.
void SetPictureImporter(PictureImporter importer);

// Gathers, while it lives, the files that the imports on this thread could not read, so
// that whoever started them (a drop) can say so once; the imports themselves show nothing.
// Collectors nest: a file is noted with the innermost. Lives on the stack of one thread.
class UnreadableImports
{
public:
    UnreadableImports();
    ~UnreadableImports();
    UnreadableImports(const UnreadableImports&) = delete;
    UnreadableImports& operator=(const UnreadableImports&) = delete;

    // The paths noted, in order.
    QStringList Files() const { return files_; }
    // Notes `path` with this thread's innermost collector; nothing without one.
    static void Note(const QString& path);

private:
    UnreadableImports* outer_;
    QStringList files_;
};
