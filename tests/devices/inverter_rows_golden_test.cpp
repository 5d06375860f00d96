// The register table's 265 rows, composed from the map as the table composes them, against a list
// transcribed from the register map's tables independently of the map's code.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "devices/inverter/inverter_blocks.h"
#include "devices/inverter/inverter_map.h"

namespace veltrona {
namespace {

std::vector<std::string> GoldenRows() {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path().parent_path() / "data" /
                     "inverter_rows_golden.txt");
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);)
        rows.push_back(line);
    return rows;
}

// Header, then every block's rows in block order with one empty row between blocks.
std::vector<std::string> MapRows() {
    std::vector<std::string> rows{"Наименование\tМастер\tУстройство"};
    for (std::size_t block = 0; block < kInverterBlockCount; ++block) {
        if (block != 0) rows.emplace_back();
        for (std::size_t i = 0; i < kInverterBlocks[block].count; ++i)
            rows.push_back(InverterRowLabel(block, i));
    }
    return rows;
}

TEST(InverterRowsGolden, EveryRowCaptionMatchesTheTranscription) {
    const std::vector<std::string> golden = GoldenRows();
    const std::vector<std::string> rows = MapRows();
    ASSERT_EQ(golden.size(), 265u);
    ASSERT_EQ(rows.size(), golden.size());
    for (std::size_t row = 0; row < rows.size(); ++row)
        EXPECT_EQ(rows[row], golden[row]) << "row " << row;
}

}  // namespace
}  // namespace veltrona
