// Fuzz target: the engine's lexer and parser on any text. A batch either parses or fails with
// corva::Error; the key lexer (the fast path of a cached batch) must number the literals exactly
// as the full lexer does whenever the full lexer accepts the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "corva/error.h"
#include "tsql/parser.h"
#include "tsql/token.h"

using corva::tsql::LexedBatch;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  LexedBatch full;
  try {
    full = corva::tsql::Lex(text, true);
  } catch (const corva::Error&) {
    return 0;
  }
  LexedBatch key = corva::tsql::LexKey(text);
  if (key.literals.size() != full.literals.size() || key.param_count != full.param_count) {
    std::abort();  // the fast path would bind other values than the parse expects
  }
  for (size_t i = 0; i < key.literals.size(); ++i) {
    if (key.literals[i].kind != full.literals[i].kind) std::abort();
  }
  try {
    corva::tsql::ParseBatch(full, text);
  } catch (const corva::Error&) {
  }
  try {
    corva::tsql::ParseRoutine(full, text);
  } catch (const corva::Error&) {
  }
  return 0;
}
