#pragma once

#include <QtGlobal>

namespace remote {

// Asks the system to acknowledge what the connection has received at once.
// A client that writes a line without waiting for a reply (a setting) holds
// its next line back until the last one is acknowledged, as TCP does unless
// told otherwise; Linux delays that acknowledgement by up to 40 ms. Asked
// again after every line, as the kernel drops the request by itself. Where
// the system has no such request it does nothing.
void acknowledgeAtOnce(qintptr socketDescriptor);

} // namespace remote
