#include "ClientSlots.h"

namespace remote {

bool ClientSlots::take()
{
    if (taken_ >= Capacity) {
        ++refused_;
    } else {
        ++taken_;
        refused_ = 0;
    }
    emit changed();
    return refused_ == 0;
}

void ClientSlots::noteRefused()
{
    ++refused_;
    emit changed();
}

void ClientSlots::release()
{
    --taken_;
    emit changed();
}

} // namespace remote

#include "moc_ClientSlots.cpp"
