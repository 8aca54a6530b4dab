#include "opcsim/signal.h"

#include <cmath>

double SignalValue(const Signal& signal, ULONGLONG elapsedMs, unsigned& randomState)
{
    const double phase = static_cast<double>(elapsedMs % signal.periodMs) / signal.periodMs;
    const double span = signal.high - signal.low;
    switch (signal.kind) {
    case SignalKind::Ramp:
        return signal.low + span * phase;
    case SignalKind::Sine:
        return signal.low + span * (0.5 + 0.5 * std::sin(2 * 3.14159265358979323846 * phase));
    case SignalKind::Random:
        randomState = randomState * 1103515245u + 12345u;
        return signal.low + span * ((randomState >> 8) & 0xFFFF) / 65535.0;
    case SignalKind::Toggle:
        return phase < 0.5 ? signal.low : signal.high;
    default:
        return signal.low;
    }
}
