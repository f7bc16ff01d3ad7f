#pragma once
// Reading a worksheet on a second thread while the caller stores the rows,
// so that parsing and storing overlap instead of adding up.

#include <cstdint>

#include "platform/workbook.h"

namespace tabrovin {

// As sheet.readRows(first, last, columns, sink), with the same rows in the
// same order on the calling thread, while `sheet` is read on a second thread
// at most a few hundred rows ahead. When `sink` returns an error the read
// stops and that error is returned; when the read fails, every row it handed
// over before the failure still reaches `sink` first. `sheet` must not be
// used by anyone else until this returns.
Status readRowsAhead(Worksheet& sheet, int32_t first, int32_t last, int32_t columns,
                     const RowSink& sink);

}  // namespace tabrovin
