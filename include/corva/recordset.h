// corva::Recordset: a client-side result set, fully read when the statement ran. Rows are walked
// with MoveNext until Eof(); Filter narrows the visible rows to those whose fields equal given
// values, as the rules use it.
#ifndef CORVA_RECORDSET_H_
#define CORVA_RECORDSET_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "corva/variant.h"

namespace corva {

class Recordset : public Object {
 public:
  // A closed recordset (what a statement without a result set gives).
  Recordset() = default;
  // An open recordset over `rows`, each holding one value per column, positioned on the first row.
  Recordset(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows);

  bool IsOpen() const { return open_; }
  // At the end: no current row after the last one (or no rows at all). Error 3704 when closed.
  bool Eof() const;
  // Before the first row: true only for an empty (or filtered-empty) recordset.
  bool Bof() const;
  // Number of visible rows (after Filter).
  int32_t RecordCount() const;
  int32_t FieldCount() const;
  const std::string& FieldName(int32_t index) const;  // first column at 0
  // Value of the current row by column name (without regard to case) or by index from 0.
  // Error 3021 at Eof/Bof; error 3265 for an unknown name or index.
  Variant Fields(const std::string& name) const;
  Variant Fields(int32_t index) const;
  void MoveNext();
  void MoveFirst();
  // Keeps only rows meeting `condition`: "Field = 'value'" or "Field = number", several joined by
  // AND; an empty text removes the filter. Text compares without regard to case. Moves to the first
  // visible row. Error 3001 for a condition it cannot read.
  void Filter(const std::string& condition);
  void Close();

  // Direct access for the library: all rows, unfiltered.
  const std::vector<std::string>& Columns() const { return columns_; }
  const std::vector<std::vector<Variant>>& Rows() const { return rows_; }

 private:
  int32_t ColumnIndex(const std::string& name) const;
  const std::vector<Variant>& Current() const;

  bool open_ = false;
  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  std::vector<size_t> visible_;  // indexes into rows_ of the visible rows
  size_t position_ = 0;          // index into visible_
};
using RecordsetPtr = std::shared_ptr<Recordset>;

}  // namespace corva

#endif  // CORVA_RECORDSET_H_
