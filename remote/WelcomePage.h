#pragma once

#include <QByteArray>

#include "InstrumentDescription.h"

namespace remote {

// The LXI welcome page, in HTML: the instrument's identity (manufacturer,
// model, serial number, firmware), the host name and the addresses served,
// the VISA resource string of every service, the link status, the link to
// the identification document and the "Identify" button; a tab for the live
// front panel where there is one. Every text from the instrument or the
// network is escaped.
QByteArray welcomePage(const PageRequest& request, bool withLivePanel);

} // namespace remote
