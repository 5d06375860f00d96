// The register table's 3832 rows (header, blocks, the empty rows between them), composed from
// the map with each register's descriptor codes, against a list transcribed from the register
// map's tables independently of the map's code.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "devices/bms/bms_map.h"

namespace veltrona {
namespace {

std::vector<std::string> GoldenRows() {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path().parent_path() / "data" /
                     "bms_rows_golden.txt");
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);)
        rows.push_back(line);
    return rows;
}

// Header, then each row's caption and, for a register row, its storage code, display kind and
// decimals.
std::vector<std::string> MapRows() {
    std::vector<std::string> rows{std::string(kBmsTableHeaders[0]) + '\t' +
                                  std::string(kBmsTableHeaders[1]) + '\t' +
                                  std::string(kBmsTableHeaders[2])};
    for (std::size_t row = 1; row < kBmsTableRows; ++row) {
        std::string text = BmsRowLabel(row);
        if (const auto where = BmsRowRegister(row)) {
            const RegisterDescriptor* d = BmsDescriptor(where->block, where->index);
            text += '\t' + std::to_string(d->storage) + '\t' + std::to_string(d->display) + '\t' +
                    std::to_string(d->decimals);
        }
        rows.push_back(text);
    }
    return rows;
}

TEST(BmsRowsGolden, EveryRowMatchesTheTranscription) {
    const std::vector<std::string> golden = GoldenRows();
    const std::vector<std::string> rows = MapRows();
    ASSERT_EQ(golden.size(), kBmsTableRows);
    ASSERT_EQ(rows.size(), golden.size());
    for (std::size_t row = 0; row < rows.size(); ++row) {
        EXPECT_EQ(rows[row], golden[row]) << "row " << row;
        if (const auto where = BmsRowRegister(row)) {
            EXPECT_EQ(BmsTableRow(where->block, where->index), row);
        }
    }
}

}  // namespace
}  // namespace veltrona
