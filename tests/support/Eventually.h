#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <functional>

namespace test_support {

// Processes events, waiting for each, until condition holds or 10 s have
// passed; returns whether it holds.
inline bool eventually(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(10000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return condition();
}

} // namespace test_support
