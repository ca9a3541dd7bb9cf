#pragma once

namespace zep8::sim {

// Where an input's measured value comes from, as a function of the time since
// the module started.
struct MeasurementSource {
    enum class Shape { Constant, Ramp, Sine };

    Shape shape = Shape::Constant;
    double level = 0;   // the constant, the ramp's start, the sine's middle
    double rate = 0;    // ramp: units per second; sine: amplitude
    double period = 0;  // seconds; a ramp with a period starts again after it

    static MeasurementSource constant(double value) { return {Shape::Constant, value, 0, 0}; }
    static MeasurementSource ramp(double start, double perSecond, double periodSeconds = 0) {
        return {Shape::Ramp, start, perSecond, periodSeconds};
    }
    static MeasurementSource sine(double middle, double amplitude, double periodSeconds) {
        return {Shape::Sine, middle, amplitude, periodSeconds};
    }

    double valueAt(double seconds) const;
};

}  // namespace zep8::sim
