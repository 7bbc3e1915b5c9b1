#include "link/rdm/DefaultRdmLink.h"

#include "link/commands/CommManager.h"
#include "link/transport/RdmWidget.h"

// The one place where the RDM engines meet the widget transport.
IRdmLink* DefaultRdmLink()
{
    CommManager* manager = CommManager::Instance();
    return manager->HasWidget() ? manager->GetWidget() : nullptr;
}
