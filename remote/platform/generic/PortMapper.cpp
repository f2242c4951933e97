#include "PortMapper.h"

namespace remote {

namespace {

constexpr const char* NotAvailable = "VXI-11 clients cannot find the panel: registering with a port mapper is not "
                                     "available on this system.";

} // namespace

std::string portMapperProblem()
{
    return NotAvailable;
}

std::string PortMapperRegistration::registerAt(const QHostAddress&, uint16_t)
{
    return NotAvailable;
}

void PortMapperRegistration::withdraw()
{
}

bool PortMapperRegistration::stillListed() const
{
    return false;
}

} // namespace remote
