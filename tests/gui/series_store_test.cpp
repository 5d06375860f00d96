#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "stats/series_store.h"

namespace veltrona {
namespace {

TEST(SeriesStoreTest, InterpolatesBetweenNeighboursAndNotOutside) {
    SeriesStore store;
    EXPECT_FALSE(store.interpolate(0.0));
    store.append(10.0, 1.0);
    store.append(12.0, 3.0);
    store.append(20.0, -5.0);
    EXPECT_DOUBLE_EQ(*store.interpolate(11.0), 2.0);
    EXPECT_DOUBLE_EQ(*store.interpolate(16.0), -1.0);
    EXPECT_DOUBLE_EQ(*store.interpolate(10.0), 1.0);
    EXPECT_DOUBLE_EQ(*store.interpolate(12.0), 3.0);
    EXPECT_DOUBLE_EQ(*store.interpolate(20.0), -5.0);
    EXPECT_FALSE(store.interpolate(9.999));
    EXPECT_FALSE(store.interpolate(20.001));
    EXPECT_FALSE(store.interpolate(std::nan("")));
}

TEST(SeriesStoreTest, KeyBelowTheLastIsStoredAtTheLast) {
    SeriesStore store;
    store.append(5.0, 1.0);
    store.append(3.0, 2.0);
    store.append(7.0, 3.0);
    ASSERT_EQ(store.size(), 3u);
    EXPECT_EQ(store.key(1), 5.0);
    EXPECT_EQ(store.key(2), 7.0);
    EXPECT_EQ(store.value(1), 2.0);
    EXPECT_EQ(store.lowerBound(6.0), 2u);
    ASSERT_TRUE(store.valueRange());
    EXPECT_EQ(store.valueRange()->first, 1.0);
    EXPECT_EQ(store.valueRange()->second, 3.0);
}

// Random values on uneven keys, with runs of equal keys and gaps.
SeriesStore randomStore(std::mt19937& random, std::size_t count) {
    std::uniform_real_distribution<float> value(-100.0F, 100.0F);
    std::uniform_int_distribution<int> step(0, 9);
    SeriesStore store;
    double key = 1000.0;
    for (std::size_t i = 0; i < count; ++i) {
        const int s = step(random);
        key += s == 0 ? 0.0 : (s == 9 ? 50.0 : 0.1 * s);
        store.append(key, value(random));
    }
    return store;
}

// A steady pace broken by a dense burst and a long pause, so that guessing an index from
// the keys' share of a range misses by far in both directions.
SeriesStore burstyStore(std::mt19937& random) {
    std::uniform_real_distribution<float> value(-100.0F, 100.0F);
    SeriesStore store;
    for (int i = 0; i < 2000; ++i) {
        store.append(i, value(random));
    }
    for (int i = 0; i < 30000; ++i) {
        store.append(2000.0 + i * 1e-4, value(random));
    }
    for (int i = 0; i < 2000; ++i) {
        store.append(10000.0 + i * 3.0, value(random));
    }
    return store;
}

TEST(SeriesStoreTest, MinMaxOfAnyRangeMatchesAScan) {
    std::mt19937 random(7);
    for (std::size_t count : {1u, 15u, 16u, 17u, 255u, 1000u, 4133u}) {
        const SeriesStore store = randomStore(random, count);
        std::uniform_int_distribution<std::size_t> index(0, count - 1);
        for (int trial = 0; trial < 300; ++trial) {
            std::size_t begin = index(random);
            std::size_t end = index(random);
            if (begin > end) {
                std::swap(begin, end);
            }
            ++end;
            double low = store.value(begin);
            double high = low;
            for (std::size_t i = begin; i < end; ++i) {
                low = std::min(low, store.value(i));
                high = std::max(high, store.value(i));
            }
            const auto [gotLow, gotHigh] = store.minMax(begin, end);
            ASSERT_EQ(gotLow, low) << count << " [" << begin << ", " << end << ")";
            ASSERT_EQ(gotHigh, high) << count << " [" << begin << ", " << end << ")";
        }
    }
}

TEST(SeriesStoreTest, ReductionKeepsEveryColumnsExtremesAndEnds) {
    std::mt19937 random(11);
    const SeriesStore uneven = randomStore(random, 50000);
    const SeriesStore bursty = burstyStore(random);
    std::vector<double> keys;
    std::vector<double> values;
    for (int trial = 0; trial < 80; ++trial) {
        const SeriesStore& store = trial % 2 == 0 ? uneven : bursty;
        // Every fourth range lies about the burst.
        std::uniform_real_distribution<double> where(
            trial % 4 == 1 ? 1990.0 : store.firstKey() - 100.0,
            trial % 4 == 1 ? 2010.0 : store.lastKey() + 100.0);
        double lo = where(random);
        double hi = where(random);
        if (lo > hi) {
            std::swap(lo, hi);
        }
        const int columns = 50 + trial * 4;
        store.reduce(lo, hi, columns, keys, values);
        ASSERT_TRUE(std::is_sorted(keys.begin(), keys.end()));

        const std::size_t begin = store.lowerBound(lo);
        std::size_t end = begin;
        while (end < store.size() && store.key(end) <= hi) {
            ++end;
        }
        std::size_t out = 0;
        if (begin > 0) {
            ASSERT_FALSE(keys.empty());
            EXPECT_EQ(keys[0], store.key(begin - 1));
            EXPECT_EQ(values[0], store.value(begin - 1));
            out = 1;
        }
        if (end < store.size()) {
            EXPECT_EQ(keys.back(), store.key(end));
            EXPECT_EQ(values.back(), store.value(end));
        }
        if (end - begin <= 4 * static_cast<std::size_t>(columns)) {
            ASSERT_EQ(keys.size(), (end - begin) + (begin > 0) + (end < store.size()));
            for (std::size_t i = begin; i < end; ++i, ++out) {
                EXPECT_EQ(keys[out], store.key(i));
            }
            continue;
        }
        // Brute force: each column's points, their first, last, minimum and maximum.
        std::size_t i = begin;
        for (int column = 0; column < columns; ++column) {
            const double edge = column + 1 < columns ? lo + (hi - lo) * (column + 1) / columns : hi;
            std::vector<std::size_t> members;
            while (i < end && (store.key(i) < edge || column + 1 == columns)) {
                members.push_back(i++);
            }
            if (members.empty()) {
                continue;
            }
            double low = store.value(members[0]);
            double high = low;
            for (std::size_t m : members) {
                low = std::min(low, store.value(m));
                high = std::max(high, store.value(m));
            }
            const std::size_t taken = std::min<std::size_t>(members.size(), 4);
            ASSERT_LE(out + taken, keys.size());
            EXPECT_EQ(keys[out], store.key(members.front()));
            EXPECT_EQ(values[out], store.value(members.front()));
            EXPECT_EQ(keys[out + taken - 1], store.key(members.back()));
            EXPECT_EQ(values[out + taken - 1], store.value(members.back()));
            const auto first = values.begin() + static_cast<std::ptrdiff_t>(out);
            const auto last = first + static_cast<std::ptrdiff_t>(taken);
            EXPECT_EQ(*std::min_element(first, last), low) << "column " << column;
            EXPECT_EQ(*std::max_element(first, last), high) << "column " << column;
            for (auto key = keys.begin() + static_cast<std::ptrdiff_t>(out);
                 key != keys.begin() + static_cast<std::ptrdiff_t>(out + taken); ++key) {
                EXPECT_GE(*key, store.key(members.front()));
                EXPECT_LE(*key, store.key(members.back()));
            }
            out += taken;
        }
        EXPECT_EQ(out + (end < store.size()), keys.size());
        EXPECT_LE(keys.size(), 4 * static_cast<std::size_t>(columns) + 2);
    }
}

TEST(SeriesStoreTest, ReductionOfAnEmptyOrInvertedRange) {
    SeriesStore store;
    std::vector<double> keys{1.0};
    std::vector<double> values{1.0};
    store.reduce(0.0, 10.0, 100, keys, values);
    EXPECT_TRUE(keys.empty());
    store.append(1.0, 2.0);
    store.append(2.0, 3.0);
    store.reduce(5.0, 1.0, 100, keys, values);
    EXPECT_TRUE(keys.empty());
    // A range between two points still draws the line across it.
    store.reduce(1.2, 1.8, 100, keys, values);
    EXPECT_EQ(keys, (std::vector<double>{1.0, 2.0}));
}

TEST(SeriesStoreTest, AMillionPointsTakeFewBytesEach) {
    SeriesStore store;
    for (int i = 0; i < 1000000; ++i) {
        store.append(i * 0.5, std::sin(i * 0.01));
        if (i % 99991 == 0) {
            ASSERT_LE(store.capacityBytes(), 24 * store.size() + 1024) << i;
        }
    }
    EXPECT_EQ(store.size(), 1000000u);
    EXPECT_LE(static_cast<double>(store.capacityBytes()) / store.size(), 24.0);
    EXPECT_FLOAT_EQ(static_cast<float>(store.value(999999)), static_cast<float>(std::sin(9999.99)));
    store.clear();
    EXPECT_TRUE(store.empty());
    EXPECT_EQ(store.capacityBytes(), 0u);
}

}  // namespace
}  // namespace veltrona
