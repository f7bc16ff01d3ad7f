#pragma once
// The texts the XML readers parse: A1-style cell references, numbers and
// ISO 8601 dates and time spans, the same in every locale.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sheets/limits.h"

namespace tabrovin::sheets {

// "BC12" -> row 12, column 55 (both 1-based); false when `ref` is not a
// reference within the sheet limits. A reference without digits ("BC")
// gives row 0.
bool parseCellReference(std::string_view ref, int32_t& row, int32_t& column);

// Positive whole number in `text` no larger than `max`; 0 when not one.
int32_t parsePositive(std::string_view text, int32_t max);

// The number an XML attribute holds ("1.5", "-2E3", "INF"), read the same in
// every locale; false when `text` is not wholly one number.
bool parseXmlNumber(std::string_view text, double& out);

// What cell_text::number shows for the number written as `text`, as
// parseXmlNumber reads it; false when `text` is not wholly one number.
bool xmlNumberText(std::string_view text, std::string& out);

// An ISO 8601 date or date-time ("2024-03-05", "2024-03-05T14:30:00") as
// cell_text::date shows it ("2024/3/5", "2024/3/5 14:30"); other text is
// returned unchanged.
std::string isoDateText(std::string_view iso);

// An ISO 8601 time span as OpenDocument stores times ("PT14H30M00S", hours
// may pass 24, seconds may have a fraction) as "14:30:00"; other text is
// returned unchanged.
std::string isoDurationText(std::string_view iso);

}  // namespace tabrovin::sheets
