// What the tests of the bill and synchronization classes share: reading rows back as short texts,
// the host's save vector, and the batches the rules sent while an action ran (some of which outside
// tests compare character for character).
#ifndef CORVA_TESTS_BILLS_BILLS_TEST_UTIL_H_
#define CORVA_TESTS_BILLS_BILLS_TEST_UTIL_H_

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "corva/corva.h"
#include "support/test_db.h"

namespace CorvaMSHTransBills::test_util {

// The rows of `sql`, columns joined by `sep` and rows by " " ("-" for Null); `none` when there
// is no row.
inline std::string Rows(const corva::testing::TestDatabase& db, const std::string& sql,
                        const std::string& sep = "/", const std::string& none = "") {
  std::string text;
  for (corva::RecordsetPtr rows = db.Query(sql); !rows->Eof(); rows->MoveNext()) {
    if (!text.empty()) text += " ";
    for (int i = 0; i < rows->FieldCount(); ++i) {
      text += (i > 0 ? sep : "") + corva::ValueOr(rows->Fields(i), "-").AsString();
    }
  }
  return text.empty() ? none : text;
}

// The host's save vector: one header holding the bill's id (more items may follow).
inline corva::VectorPtr SaveVect(const corva::Variant& id, const char* key = "FInterID") {
  corva::DictionaryPtr header = corva::MakeDictionary();
  header->SetValue(key, id);
  corva::VectorPtr save_vect = corva::MakeVector();
  save_vect->Add(header);
  return save_vect;
}
// The header of a save vector.
inline corva::DictionaryPtr Header(const corva::VectorPtr& save_vect) {
  return save_vect->Item(1).As<corva::Dictionary>();
}

// The batches sent while `action` runs.
inline std::vector<std::string> Sent(const std::function<void()>& action) {
  corva::SqlTrace::EnableProcess(true);
  corva::SqlTrace::Clear();
  action();
  corva::SqlTrace::EnableProcess(false);
  std::vector<std::string> batches;
  for (const corva::TraceEntry& entry : corva::SqlTrace::Entries()) batches.push_back(entry.sql);
  return batches;
}

// Whether one of `batches` is `batch` exactly, or (`part`) holds it.
inline bool Contains(const std::vector<std::string>& batches, const std::string& batch,
                     bool part = false) {
  return std::any_of(batches.begin(), batches.end(), [&](const std::string& sent) {
    return part ? sent.find(batch) != std::string::npos : sent == batch;
  });
}

}  // namespace CorvaMSHTransBills::test_util

#endif  // CORVA_TESTS_BILLS_BILLS_TEST_UTIL_H_
