#pragma once

class Content;
class ContentBase;
class ContentFolder;
class QMenu;
class QWidget;

// The context menus of the preview tiles: the content actions that apply to the tile's
// content, grouped by separators; an action whose test fails is left out. Every action
// gets `widget` as parent. GUI thread; the content must be alive for the call.

// A sub-folder's tile.
void AddFolderTileEntries(QMenu& menu, QWidget* widget, ContentFolder* folder);
// An LED image's tile (with the GIF export).
void AddImageTileEntries(QMenu& menu, QWidget* widget, Content* image);
// Any other content's tile.
void AddItemTileEntries(QMenu& menu, QWidget* widget, ContentBase* item);
// Whether a menu holds an entry besides separators (one without is not shown).
bool HasMenuEntries(const QMenu& menu);
