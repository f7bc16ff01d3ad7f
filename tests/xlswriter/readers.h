#pragma once
// Templates and pages for the writer tests, and the raw records of what the
// writer produces, for what readers ignore.

#include <gtest/gtest.h>

#include "platform/xls/biff_record.h"
#include "platform/xls/compound_file.h"
#include "platform/xls/xls_writer.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {

// A loaded template made from the blank workbook, written into `dir`.
inline xls::ExportTemplate blankTemplate(const std::filesystem::path& dir) {
    EXPECT_TRUE(xls::writeBlankWorkbook(dir / "blank-template.xls").ok());
    return xls::ExportTemplate::load(dir / "blank-template.xls").value();
}

// Rows x columns of texts "r<row>c<col>".
inline Grid gridOf(size_t rows, size_t columns) {
    Grid g(rows);
    for (size_t r = 0; r < rows; ++r)
        for (size_t c = 0; c < columns; ++c)
            g[r].push_back("r" + std::to_string(r) + "c" + std::to_string(c));
    return g;
}

// The records of the Workbook stream, CONTINUEs kept apart.
struct RawRecord {
    uint16_t type;
    size_t offset;
    std::vector<uint8_t> data;
};
inline std::vector<RawRecord> workbookRecords(const std::filesystem::path& xls) {
    std::vector<RawRecord> out;
    auto streams = xls::readCompoundFile(xls);
    for (auto& s : streams ? *streams : std::vector<xls::Stream>()) {
        xls::RecordReader reader(s.data);
        for (xls::Record r; s.path == "Workbook" && reader.next(r, false);)
            out.push_back({r.type, r.offset, {r.data.begin(), r.data.end()}});
    }
    return out;
}

// The first record of `type`, or null.
inline const RawRecord* findRecord(const std::vector<RawRecord>& recs, uint16_t type) {
    for (const auto& r : recs)
        if (r.type == type) return &r;
    return nullptr;
}

}  // namespace tabrovin::testing
