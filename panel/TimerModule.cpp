#include "TimerModule.h"

#include <QTime>

namespace TimerModule {

double SecondsSinceMidnight()
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void Delay(float seconds, const Clock& clock, const EventPump& processEvents)
{
    const float start = static_cast<float>(clock());
    const double end = static_cast<double>(start) + seconds;
    for (;;) {
        processEvents();
        const bool beforeEnd = clock() < end;
        const bool sameDay = clock() >= start;
        const bool beforeEndAfterMidnight = clock() <= end - SecondsPerDay;
        if (!(beforeEnd && (sameDay || beforeEndAfterMidnight)))
            return;
    }
}

} // namespace TimerModule
