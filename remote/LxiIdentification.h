#pragma once

#include <QByteArray>

#include "InstrumentDescription.h"

namespace remote {

// The namespace of the LXI identification document, as the LXI standard
// names it.
inline constexpr const char* LxiIdentificationNamespace = "http://www.lxistandard.org/InstrumentIdentification/1.0";

// The LXI identification document of the panel's instrument, in XML: its
// identity, this program's description and pages, and an Interface element
// for every service with its VISA resource string.
QByteArray lxiIdentification(const PageRequest& request);

} // namespace remote
