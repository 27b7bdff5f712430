#include "QtClock.h"

#include <QDateTime>

namespace platform {

std::int64_t QtClock::NowSeconds() const {
    return QDateTime::currentSecsSinceEpoch();
}

}  // namespace platform
