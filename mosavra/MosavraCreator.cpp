#include "mosavra/MosavraCreator.h"

#include "mosavra/MosavraDialog.h"

void OpenMosavraCreator(QWidget* parent)
{
    MosavraDialog dialog(parent);
    dialog.exec();
}
