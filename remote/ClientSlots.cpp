#include "ClientSlots.h"

#include <algorithm>

namespace remote {

ClientSlots::ClientSlots(Clock clock, QObject* parent)
    : QObject(parent)
    , clock_(std::move(clock))
{
}

std::chrono::milliseconds ClientSlots::steadyClock()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

bool ClientSlots::take(const void* holder, Eviction evict)
{
    if (taken_ >= Capacity && !evictIdlest()) {
        ++refused_;
        emit changed();
        return false;
    }
    Holder& taking = holders_[holder];
    ++taking.taken;
    taking.lastActive = clock_();
    taking.evict = std::move(evict);
    ++taken_;
    refused_ = 0;
    emit changed();
    return true;
}

bool ClientSlots::evictIdlest()
{
    const auto idlest = std::ranges::min_element(holders_, {}, [](const auto& entry) { return entry.second.lastActive; });
    if (idlest == holders_.end())
        return false;
    const auto idle = std::chrono::duration_cast<std::chrono::seconds>(clock_() - idlest->second.lastActive);
    if (idle < IdleBeforeEviction)
        return false;
    const Holder evicted = std::move(idlest->second);
    taken_ -= evicted.taken;
    holders_.erase(idlest);
    evicted.evict(idle);
    return true;
}

void ClientSlots::touch(const void* holder)
{
    if (const auto found = holders_.find(holder); found != holders_.end())
        found->second.lastActive = clock_();
}

void ClientSlots::release(const void* holder)
{
    const auto found = holders_.find(holder);
    if (found == holders_.end())
        return;
    --taken_;
    if (--found->second.taken == 0)
        holders_.erase(found);
    emit changed();
}

void ClientSlots::noteRefused()
{
    ++refused_;
    emit changed();
}

} // namespace remote

#include "moc_ClientSlots.cpp"
