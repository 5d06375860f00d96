#include "stats/series_store.h"

#include <algorithm>

namespace veltrona {

namespace {

template <typename Extent>
void widen(Extent& extent, float value) {
    extent.min = std::min(extent.min, value);
    extent.max = std::max(extent.max, value);
}

}  // namespace

template <typename T>
void SeriesStore::grow(std::vector<T>& vector, const T& item) {
    if (vector.size() == vector.capacity()) {
        vector.reserve(std::max<std::size_t>(kBucket, vector.capacity() + vector.capacity() / 2));
    }
    vector.push_back(item);
}

void SeriesStore::append(double key, double value) {
    if (!keys_.empty()) {
        key = std::max(key, keys_.back());
    }
    const auto stored = static_cast<float>(value);
    if (keys_.empty()) {
        overall_ = {stored, stored};
    } else {
        widen(overall_, stored);
    }
    grow(keys_, key);
    grow(values_, stored);
    if (values_.size() % kBucket == 0) {
        Extent extent{stored, stored};
        for (auto it = values_.end() - kBucket; it != values_.end(); ++it) {
            widen(extent, *it);
        }
        completeBucket(0, extent);
    }
}

// Each completed pair of buckets completes one bucket of the level above, so an append
// costs O(1) amortised.
void SeriesStore::completeBucket(std::size_t level, Extent extent) {
    if (levels_.size() <= level) {
        levels_.emplace_back();
    }
    auto& buckets = levels_[level];
    grow(buckets, extent);
    if (buckets.size() % 2 == 0) {
        const Extent& left = buckets[buckets.size() - 2];
        completeBucket(level + 1, {std::min(left.min, extent.min), std::max(left.max, extent.max)});
    }
}

void SeriesStore::clear() {
    std::vector<double>().swap(keys_);
    std::vector<float>().swap(values_);
    std::vector<std::vector<Extent>>().swap(levels_);
}

std::optional<std::pair<double, double>> SeriesStore::valueRange() const {
    if (keys_.empty()) {
        return std::nullopt;
    }
    return std::pair<double, double>{overall_.min, overall_.max};
}

std::size_t SeriesStore::lowerBound(double key) const {
    return static_cast<std::size_t>(std::lower_bound(keys_.begin(), keys_.end(), key) -
                                    keys_.begin());
}

std::optional<double> SeriesStore::interpolate(double key) const {
    if (keys_.empty() || !(key >= keys_.front() && key <= keys_.back())) {
        return std::nullopt;
    }
    const std::size_t upper = lowerBound(key);
    if (keys_[upper] == key) {
        return values_[upper];
    }
    const double k0 = keys_[upper - 1];
    const double k1 = keys_[upper];
    const double v0 = values_[upper - 1];
    const double v1 = values_[upper];
    return v0 + (v1 - v0) * (key - k0) / (k1 - k0);
}

std::pair<double, double> SeriesStore::minMax(std::size_t begin, std::size_t end) const {
    Extent extent{values_[begin], values_[begin]};
    while (begin < end && begin % kBucket != 0) {
        widen(extent, values_[begin++]);
    }
    while (end > begin && end % kBucket != 0) {
        widen(extent, values_[--end]);
    }
    // The aligned middle is covered by whole buckets, climbing the levels as a segment tree.
    std::size_t first = begin / kBucket;
    std::size_t last = end / kBucket;
    for (std::size_t level = 0; first < last; ++level) {
        const auto& buckets = levels_[level];
        if (first % 2 != 0) {
            widen(extent, buckets[first].min);
            widen(extent, buckets[first++].max);
        }
        if (last % 2 != 0) {
            widen(extent, buckets[--last].min);
            widen(extent, buckets[last].max);
        }
        first /= 2;
        last /= 2;
    }
    return {extent.min, extent.max};
}

// Points mostly come at a steady pace, so the edge's index is first guessed by the keys'
// share of the rest of the range; galloping out from the guess then touches a few cache
// lines instead of a binary search's dozen, and stays O(log n) where the pace changes.
std::size_t SeriesStore::seek(std::size_t from, std::size_t end, double key) const {
    if (from >= end || keys_[from] >= key) {
        return from;
    }
    const std::size_t span = end - 1 - from;
    const double first = keys_[from];
    const double last = keys_[end - 1];
    std::size_t guess = from;
    if (last > first) {
        const double share = std::min(1.0, (key - first) / (last - first));
        guess = from + static_cast<std::size_t>(share * static_cast<double>(span));
    }
    const auto search = [&](std::size_t low, std::size_t high) {
        return static_cast<std::size_t>(
            std::lower_bound(keys_.begin() + static_cast<std::ptrdiff_t>(low),
                             keys_.begin() + static_cast<std::ptrdiff_t>(high), key) -
            keys_.begin());
    };
    std::size_t step = 1;
    if (keys_[guess] < key) {
        std::size_t low = guess;
        while (low + step < end && keys_[low + step] < key) {
            low += step;
            step *= 2;
        }
        return search(low + 1, std::min(end, low + step));
    }
    // keys_[from] is below the key, so the answer lies in (from, guess].
    std::size_t high = guess;
    while (high - from > step && keys_[high - step] >= key) {
        high -= step;
        step *= 2;
    }
    return search(high - from > step ? high - step : from + 1, high);
}

void SeriesStore::reduce(double lo, double hi, int columns, std::vector<double>& keys,
                         std::vector<double>& values) const {
    keys.clear();
    values.clear();
    if (keys_.empty() || columns <= 0 || !(hi > lo)) {
        return;
    }
    const auto push = [&](std::size_t index) {
        keys.push_back(keys_[index]);
        values.push_back(values_[index]);
    };
    const std::size_t begin = lowerBound(lo);
    const auto end = static_cast<std::size_t>(
        std::upper_bound(keys_.begin() + static_cast<std::ptrdiff_t>(begin), keys_.end(), hi) -
        keys_.begin());
    if (begin > 0) {
        push(begin - 1);
    }
    if (end - begin <= 4 * static_cast<std::size_t>(columns)) {
        for (std::size_t i = begin; i < end; ++i) {
            push(i);
        }
    } else {
        std::size_t from = begin;
        for (int column = 0; column < columns; ++column) {
            std::size_t to = end;
            if (column + 1 < columns) {
                const double edge = lo + (hi - lo) * (column + 1) / columns;
                to = seek(from, end, edge);
            }
            const std::size_t count = to - from;
            if (count <= 4) {
                for (std::size_t i = from; i < to; ++i) {
                    push(i);
                }
            } else {
                // The extremes go between the first and the last point, in the order a rising
                // or falling column would pass them.
                const auto [low, high] = minMax(from, to);
                const double middle = (keys_[from] + keys_[to - 1]) / 2;
                const bool rising = values_[to - 1] >= values_[from];
                push(from);
                keys.push_back(middle);
                values.push_back(rising ? low : high);
                keys.push_back(middle);
                values.push_back(rising ? high : low);
                push(to - 1);
            }
            from = to;
        }
    }
    if (end < keys_.size()) {
        push(end);
    }
}

std::size_t SeriesStore::capacityBytes() const {
    std::size_t bytes = keys_.capacity() * sizeof(double) + values_.capacity() * sizeof(float) +
                        levels_.capacity() * sizeof(std::vector<Extent>);
    for (const auto& level : levels_) {
        bytes += level.capacity() * sizeof(Extent);
    }
    return bytes;
}

}  // namespace veltrona
