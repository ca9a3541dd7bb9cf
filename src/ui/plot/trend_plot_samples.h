#pragma once

#include <QList>
#include <QPointF>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace zep8 {

// One input's poll results, oldest first, in a ring of fixed size: the oldest
// result makes room for a new one. A failed read is kept as NaN. Beside the
// ring, the lowest and highest value of each block of kBlock results, so that
// a scan of an hour to the plot's width need not look at every result.
class CTrendSamples {
  public:
    struct Sample {
        qint64 time;  // milliseconds since the epoch
        double value;
    };
    // The lowest and highest value of some results in order (the first of
    // each when several are equal), and whether a read failed among them.
    struct Extremes {
        Sample low{}, high{};
        bool hasValues = false;
        bool failed = false;

        void Take(const Sample& sample) {
            if (std::isnan(sample.value)) {
                failed = true;
            } else if (!hasValues) {
                low = high = sample;
                hasValues = true;
            } else if (sample.value < low.value) {
                low = sample;
            } else if (sample.value > high.value) {
                high = sample;
            }
        }
        // As if each of `later`'s results were taken after these.
        void Merge(const Extremes& later) {
            failed = failed || later.failed;
            if (!later.hasValues) return;
            if (!hasValues) {
                low = later.low;
                high = later.high;
                hasValues = true;
                return;
            }
            if (later.low.value < low.value) low = later.low;
            if (later.high.value > high.value) high = later.high;
        }
    };
    static constexpr std::size_t kBlock = 8;

    // The capacity is rounded up to whole blocks.
    explicit CTrendSamples(std::size_t capacity);

    // Times never go back: an earlier time (the clock was set back) is taken
    // as the last one, so the times stay sorted for the searches below.
    void Add(qint64 time, double value);
    void Clear() { head_ = size_ = added_ = 0; }

    std::size_t Size() const { return size_; }
    std::size_t Capacity() const { return capacity_; }
    const Sample& At(std::size_t index) const { return ring_[(head_ + index) % ring_.size()]; }
    const Sample& Last() const { return At(size_ - 1); }
    // The index of the first sample at or after `time` (Size() when none is).
    std::size_t LowerBound(qint64 time) const;
    // Calls `visit` with the samples [begin, end) in order, straight from the
    // ring's memory (no index arithmetic per sample: an hour is scanned per redraw).
    template <typename Visit>
    void ForEach(std::size_t begin, std::size_t end, Visit&& visit) const {
        std::size_t at = (head_ + begin) % Capacity();
        for (std::size_t left = end - begin; left > 0;) {
            const std::size_t piece = std::min(left, ring_.size() - at);
            for (const Sample* s = ring_.data() + at; s != ring_.data() + at + piece; ++s)
                visit(*s);
            left -= piece;
            at = 0;
        }
    }

    // Like ForEach, but where a whole block of the ring lies in [begin, end),
    // first offers it as `whole(first, last, extremes)`: true takes the block
    // so, false visits its samples one by one.
    template <typename Whole, typename Visit>
    void Scan(std::size_t begin, std::size_t end, Whole&& whole, Visit&& visit) const {
        std::size_t at = (head_ + begin) % Capacity();
        std::size_t counted = added_ - size_ + begin;  // counted since the last Clear
        std::size_t block = counted / kBlock % blocks_.size();  // the one `counted` is in
        for (std::size_t index = begin; index < end;) {
            // Blocks start at whole multiples in the count and in the ring alike.
            if (counted % kBlock == 0 && end - index >= kBlock &&
                whole(ring_[at], ring_[at + kBlock - 1], blocks_[block])) {
                index += kBlock;
                counted += kBlock;
                at += kBlock;
            } else {
                visit(ring_[at]);
                ++index;
                ++counted;
                ++at;
            }
            if (at == ring_.size()) at = 0;
            if (counted % kBlock == 0 && ++block == blocks_.size()) block = 0;
        }
    }

  private:
    std::size_t capacity_;
    std::vector<Sample> ring_;        // allocated with the first sample
    std::vector<Extremes> blocks_;    // block n of the count at n % size, a ring too
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    std::size_t added_ = 0;  // since the last Clear
};

// What one curve shows of [from, to]: its continuous runs, each broken at a
// failed read, and the range of the values inside [from, to].
struct TrendRuns {
    std::vector<QList<QPointF>> runs;
    double low = 0;
    double high = 0;
    bool hasValues = false;
};

// The runs of `samples` between `from` and `to`, with the sample just outside
// each end so a line runs into the edge. With more than two samples per column
// of `columns`, each column gives only its lowest and highest value (the shape
// stays; the count is bounded by the width), and a column with a failed read
// breaks the curve.
TrendRuns VisibleRuns(const CTrendSamples& samples, qint64 from, qint64 to, int columns);

}  // namespace zep8
