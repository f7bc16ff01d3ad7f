#pragma once
// How a cell value that is not text becomes text, the same for every reader.

#include <cstdint>
#include <string>
#include <string_view>

namespace tabrovin::cell_text {

// Whole numbers without a decimal point (3.0 -> "3", 13800138000 ->
// "13800138000"); others in their shortest form with at most 15 significant
// digits ("0.1", "1234.5"); very large or small magnitudes in E notation.
std::string number(double value);

std::string boolean(bool value);  // "TRUE" / "FALSE"

// What a date-like number format shows. Classify a format code with
// classifyFormat, then render the serial with date(). The Elapsed kinds
// count whole days into their first unit, as [h], [m] and [s] do.
enum class DateKind { None, Date, DateTime, Time, ElapsedHours, ElapsedMinutes, ElapsedSeconds };

// Built-in number-format ids 14-22 and 45-47 are dates/times (46 is [h]:mm:ss);
// a custom code is a date when it holds y, m, d, h or s outside quotes,
// brackets and escapes, and elapsed time when it has [h], [mm], [ss] and the
// like. Other brackets (colours such as [Red] or [Color10], locales,
// conditions) do not count.
DateKind classifyBuiltinFormat(int formatId);
DateKind classifyFormat(std::string_view formatCode);

// Renders a 1900-system serial (1904-system when `date1904`) as a Chinese
// spreadsheet shows it by default: "2024/3/5", "2024/3/5 14:30", "14:30:00";
// elapsed time 1.5 as "36:00:00" (hours), "2160:00" (minutes), "129600" (seconds).
std::string date(double serial, DateKind kind, bool date1904 = false);

// Removes NUL characters, which the database text would otherwise carry.
std::string stripNul(std::string text);

}  // namespace tabrovin::cell_text
