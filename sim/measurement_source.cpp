#include "sim/measurement_source.h"

#include <cmath>
#include <numbers>

namespace zep8::sim {

double MeasurementSource::valueAt(double seconds) const {
    switch (shape) {
        case Shape::Constant:
            return level;
        case Shape::Ramp:
            return level + rate * (period > 0 ? std::fmod(seconds, period) : seconds);
        case Shape::Sine:
            if (period <= 0) return level;
            return level + rate * std::sin(2 * std::numbers::pi * seconds / period);
    }
    return level;
}

}  // namespace zep8::sim
