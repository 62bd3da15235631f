// Printing result sets and other rows of values as aligned text tables (column names, a rule line,
// the rows), the way the command-line program shows every table it prints.
#ifndef CORVA_TOOLS_TABLE_PRINTER_H_
#define CORVA_TOOLS_TABLE_PRINTER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "corva/recordset.h"
#include "corva/variant.h"

namespace corva::cli {

// A value as a table shows it: NULL for Null, 1/0 for Booleans, dates as "YYYY-MM-DD
// HH:MM:SS.fff", line breaks and tabs as blanks.
std::string FormatValue(const Variant& value);

// Columns of the width of their widest entry (East Asian wide characters counting two), one blank
// between them, numbers right-aligned, every line ending in "\n" without trailing blanks.
std::string FormatTable(const std::vector<std::string>& columns,
                        const std::vector<std::vector<Variant>>& rows);

// All rows of `recordset` (ignoring a filter) as FormatTable gives them.
std::string FormatRecordset(const Recordset& recordset);

// "(1 row affected)" / "(N rows affected)".
std::string RowsAffectedLine(int64_t rows);

}  // namespace corva::cli

#endif  // CORVA_TOOLS_TABLE_PRINTER_H_
