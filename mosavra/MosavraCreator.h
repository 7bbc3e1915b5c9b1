#pragma once

class QWidget;

// Opens the Mosavra creator over `parent` and returns when the user has closed it. The
// creator stores what it makes itself (templates, collages) and reports nothing back.
// GUI thread.
void OpenMosavraCreator(QWidget* parent);
