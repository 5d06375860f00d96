#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace veltrona {

// One time series that only grows: keys (times, non-decreasing) and values in flat
// vectors, plus a pyramid of per-bucket minima and maxima so that a drawing can be reduced
// to a few points per pixel column however many points the series holds.
class SeriesStore {
  public:
    // Points per bucket of the lowest pyramid level; each higher level halves the count.
    static constexpr std::size_t kBucket = 16;

    // Amortised O(1). A key below the last one is stored at the last key, so that the keys
    // stay sorted when the clock steps back.
    void append(double key, double value);
    void clear();

    std::size_t size() const { return keys_.size(); }
    bool empty() const { return keys_.empty(); }
    double key(std::size_t index) const { return keys_[index]; }
    double value(std::size_t index) const { return values_[index]; }
    double firstKey() const { return keys_.front(); }
    double lastKey() const { return keys_.back(); }
    // Smallest and largest value of all points; nullopt when empty.
    std::optional<std::pair<double, double>> valueRange() const;

    // First index whose key is not below the given one (binary search).
    std::size_t lowerBound(double key) const;
    // Value at the key, linear between the two neighbouring points; nullopt outside
    // [firstKey, lastKey] and for an empty series.
    std::optional<double> interpolate(double key) const;
    // Smallest and largest value of points [begin, end), begin < end.
    std::pair<double, double> minMax(std::size_t begin, std::size_t end) const;

    // Points for drawing [lo, hi] on the given number of pixel columns: per column with
    // points its first, minimum, maximum and last point (fewer when it holds fewer), plus the
    // nearest point on each side outside the range, all in key order. When the range holds
    // few points for the columns, the points themselves.
    void reduce(double lo, double hi, int columns, std::vector<double>& keys,
                std::vector<double>& values) const;

    // Bytes reserved by the store (capacities of all its vectors).
    std::size_t capacityBytes() const;

  private:
    struct Extent {
        float min;
        float max;
    };
    // Appends with a 1.5 growth factor to keep the spare capacity small.
    template <typename T>
    static void grow(std::vector<T>& vector, const T& item);
    void completeBucket(std::size_t level, Extent extent);
    // First index in [from, end) whose key is not below the given one (end when none).
    std::size_t seek(std::size_t from, std::size_t end, double key) const;

    std::vector<double> keys_;
    std::vector<float> values_;
    // levels_[k] holds the extents of complete buckets of kBucket << k points.
    std::vector<std::vector<Extent>> levels_;
    Extent overall_{0.0F, 0.0F};
};

}  // namespace veltrona
