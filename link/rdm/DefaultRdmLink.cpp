#include "link/rdm/DefaultRdmLink.h"

// The one place where the RDM engines meet the widget transport: once the transport
// exists, this answers CommManager's widget when CommManager::HasWidget(). Until then
// there is no widget, and every transaction ends with "no widget" (-5).
IRdmLink* DefaultRdmLink()
{
    return nullptr;
}
