#pragma once

#include "content/policies/FamilyImport.h"

class QFileInfo;
class QWidget;
class Content;

// Installs the picture and video import of the family folders (SetPictureImporter): the
// blank image of a family is filled through that family's import dialog. The file is read
// as a picture first and, when it is none, as a video; the dialog opens only when at least
// one frame was read, and the import counts only when the user accepts it.
// Call once at start-up (and in GUI tests' set-up); GUI thread.
void InstallPictureImport();

// The import itself, as installed: fills `image` (a blank BrevantImage or CindralImage)
// from `file` through the import dialog over `parent`. Unreadable when the file holds no
// frame that can be read; Declined when the image is of neither family or the user cancels.
// Shows no message of its own: the drop that asked says what could not be read.
PictureImportResult ImportPicture(QWidget* parent, const QFileInfo& file, Content& image);
