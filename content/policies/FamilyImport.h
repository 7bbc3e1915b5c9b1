#pragma once

#include <QFileInfo>
#include <QList>

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
// A resulting image is named after the file's base name (cut to 16 characters). The caller
// owns what is returned (empty or one image).
//
// GUI thread (the picture import opens dialogs over `parent`).
QList<Content*> ImportFamilyFile(int family, QWidget* parent, const QFileInfo& file, bool probe);

// Fills the blank LED image `image` (a BrevantImage or CindralImage) from the picture or
// video `file`, asking the user through the image import dialog over `parent`; true when
// the user accepted the import and the image holds it.
using PictureImporter = std::function<bool(QWidget* parent, const QFileInfo& file, Content& image)>;

// Installs the picture and video import, which lives with the image dialogs (the content
// engine has no widgets); an empty function removes it. Any thread.
void SetPictureImporter(PictureImporter importer);
