#pragma once

class IRdmLink;

// The link the process-wide RDM engines use: the open widget's RDM exchange, or null
// when there is no widget. Called on the command thread at the start of every
// transaction, so a widget that comes or goes is seen at the next request.
IRdmLink* DefaultRdmLink();
