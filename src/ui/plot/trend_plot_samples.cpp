#include "ui/plot/trend_plot_samples.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace zep8 {

CTrendSamples::CTrendSamples(std::size_t capacity)
    : capacity_((std::max<std::size_t>(capacity, 1) + kBlock - 1) / kBlock * kBlock) {}

void CTrendSamples::Add(qint64 time, double value) {
    if (ring_.empty()) {
        ring_.resize(capacity_);
        // One more than the ring holds: the oldest, partly overwritten block
        // keeps its place until its last result is gone.
        blocks_.resize(capacity_ / kBlock + 1);
    }
    if (size_ > 0) time = std::max(time, Last().time);
    if (size_ < ring_.size()) {
        ring_[(head_ + size_++) % ring_.size()] = {time, value};
    } else {
        ring_[head_] = {time, value};
        head_ = (head_ + 1) % ring_.size();
    }
    Extremes& block = blocks_[(added_ / kBlock) % blocks_.size()];
    if (added_ % kBlock == 0) block = Extremes{};
    block.Take({time, value});
    ++added_;
}

std::size_t CTrendSamples::LowerBound(qint64 time) const {
    std::size_t low = 0, high = size_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (At(middle).time < time) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

namespace {

// Collects the runs and the value range of what lies inside [from, to].
class RunBuilder {
  public:
    RunBuilder(qint64 from, qint64 to) : from_(from), to_(to) {}

    void Point(qint64 time, double value) {
        run_.append(QPointF(static_cast<double>(time), value));
        if (time < from_ || time > to_) return;
        if (!out_.hasValues) {
            out_.low = out_.high = value;
            out_.hasValues = true;
        }
        out_.low = std::min(out_.low, value);
        out_.high = std::max(out_.high, value);
    }
    void Break() {
        if (run_.isEmpty()) return;
        out_.runs.push_back(std::move(run_));
        run_ = {};
    }
    TrendRuns Finish() {
        Break();
        return std::move(out_);
    }

  private:
    qint64 from_, to_;
    QList<QPointF> run_;
    TrendRuns out_;
};

// The lowest and highest value of one pixel column, and whether a read failed in it.
struct Column : CTrendSamples::Extremes {
    // A failed read anywhere in the column breaks the curve there: at this
    // scale its good values could not be told apart from the gap anyway.
    void Emit(RunBuilder& builder) {
        if (failed) {
            builder.Break();
        } else if (hasValues) {
            const auto& first = low.time <= high.time ? low : high;
            const auto& second = low.time <= high.time ? high : low;
            builder.Point(first.time, first.value);
            if (second.time != first.time || second.value != first.value) {
                builder.Point(second.time, second.value);
            }
        }
        *this = Column{};
    }
};

}  // namespace

TrendRuns VisibleRuns(const CTrendSamples& samples, qint64 from, qint64 to, int columns) {
    RunBuilder builder(from, to);
    if (samples.Size() == 0 || to <= from) return builder.Finish();
    const std::size_t inside = samples.LowerBound(from);
    const std::size_t after = samples.LowerBound(to + 1);
    const std::size_t begin = inside > 0 ? inside - 1 : 0;
    const std::size_t end = std::min(after + 1, samples.Size());
    columns = std::max(columns, 1);

    if (end - begin <= 2 * static_cast<std::size_t>(columns)) {
        samples.ForEach(begin, end, [&builder](const CTrendSamples::Sample& sample) {
            if (std::isnan(sample.value)) {
                builder.Break();
            } else {
                builder.Point(sample.time, sample.value);
            }
        });
        return builder.Finish();
    }

    // Columns are found by comparing with the next column's start; the
    // samples just outside the ends have columns of their own (-1 and `columns`).
    const double width = static_cast<double>(to - from) / columns;
    auto nextStart = [&](long index) -> double {
        if (index < 0) return static_cast<double>(from);
        if (index < columns - 1) return static_cast<double>(from) + (index + 1) * width;
        if (index == columns - 1) return static_cast<double>(to) + 1;
        return std::numeric_limits<double>::infinity();
    };
    long index = -2;  // before any column: the first sample opens one
    double next = -std::numeric_limits<double>::infinity();
    Column column;
    const auto enter = [&](qint64 at) {
        const auto time = static_cast<double>(at);
        if (time < next) return;
        column.Emit(builder);
        index = time < static_cast<double>(from)
                    ? -1
                    : std::min<long>(columns - 1, static_cast<long>((time - from) / width));
        if (time > static_cast<double>(to)) index = columns;
        while (time >= (next = nextStart(index))) ++index;  // rounding at a boundary
    };
    samples.Scan(
        begin, end,
        [&](const CTrendSamples::Sample& first, const CTrendSamples::Sample& last,
            const CTrendSamples::Extremes& block) {
            enter(first.time);
            if (static_cast<double>(last.time) >= next) return false;  // it spans a boundary
            column.Merge(block);
            return true;
        },
        [&](const CTrendSamples::Sample& sample) {
            enter(sample.time);
            column.Take(sample);
        });
    column.Emit(builder);
    return builder.Finish();
}

}  // namespace zep8
