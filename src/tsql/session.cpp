// Sessions: a session takes a slot on its handle (its "#" tables are named "#t$<slot>" in the
// handle's temp schema, so sessions sharing a handle never see each other's), and runs batches
// through the batch cache: lexed, looked up by their literal-free key, parsed on a miss, executed.
#include "corva/error.h"
#include "tsql/executor.h"
#include "tsql/token.h"

namespace corva::tsql {

SessionState::SessionState(std::shared_ptr<Handle> handle)
    : handle(static_cast<HandleImpl*>(handle.get())), keep_(std::move(handle)) {
  slot = this->handle->AcquireSlot(this);
}

SessionState::~SessionState() {
  try {
    DropTempTables();
  } catch (...) {
  }
  if (handle->current == this) handle->current = nullptr;
  handle->ReleaseSlot(slot);
}

void SessionState::DropTempTables() {
  for (auto& [key, info] : temp_tables) {
    try {
      handle->KeepTemp(info->physical, 0, true);
    } catch (...) {
    }
  }
  temp_tables.clear();
  cursors.clear();
}

int64_t SessionState::ObjectId(std::string_view raw) {
  // Last part of a possibly qualified, possibly bracketed name.
  std::string name(raw);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name = name.substr(dot + 1);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  if (name.empty()) return 0;
  if (name[0] == '#') {
    auto it = temp_tables.find(ToLower(name));
    return it == temp_tables.end() ? 0 : it->second->object_id;
  }
  if (raw.size() >= 6 && EqualsNoCase(raw.substr(0, 6), "tempdb")) return 0;
  if (TablePtr t = handle->catalog().FindTable(handle->db(), name)) return t->object_id;
  for (const char* kind : {"P", "TR"})
    if (auto r = handle->catalog().FindRoutine(handle->db(), kind, name)) return r->id;
  return 0;
}

struct Session::Impl {
  std::unique_ptr<SessionState> state;
};

Session::Session(std::shared_ptr<Handle> handle) : impl_(std::make_unique<Impl>()) {
  impl_->state = std::make_unique<SessionState>(std::move(handle));
}

Session::~Session() = default;

BatchResult Session::Execute(std::string_view batch, const std::vector<Variant>& params) {
  SessionState& s = *impl_->state;
  HandleImpl* h = s.handle;
  SessionState* previous = h->current;
  h->current = &s;
  struct Restore {
    HandleImpl* h;
    SessionState* prev;
    ~Restore() { h->current = prev; }
  } restore{h, previous};

  h->RefreshCatalog();
  // A cached parse needs only the key and the literal values; the tokens are made on a miss.
  LexedBatch lexed = LexKey(batch);
  std::string key = std::move(lexed.key);
  if (lexed.param_count > 0) {
    key += '\x02';
    for (size_t i = 0; i < lexed.param_slots.size(); ++i) {
      Value v = i < params.size() ? FromVariant(params[i]) : Value::Null();
      key += static_cast<char>('0' + static_cast<int>(v.kind));
      if (v.kind == Value::Kind::kDecimal) {
        // A decimal parameter is typed by its digits, as a literal is.
        SqlType t = ValueType(v);
        key += static_cast<char>('A' + t.precision);
        key += static_cast<char>('A' + t.scale);
      }
      lexed.literals[lexed.param_slots[i]] = std::move(v);
    }
  }
  std::shared_ptr<CompiledBatch> compiled = h->FindBatch(key, lexed.literals);
  if (!compiled) {
    LexedBatch full = Lex(batch, true);
    compiled = std::make_shared<CompiledBatch>();
    compiled->parse = ParseBatch(full, batch);
    compiled->literal_count = full.literals.size();
    for (int index : compiled->parse.structural_literals)
      compiled->structural.emplace_back(index, lexed.literals[index]);
    if (compiled->parse.cacheable) h->AddBatch(key, compiled);
  }
  BatchResult out;
  Executor executor(s, &out);
  executor.RunBatch(compiled, lexed.literals);
  return out;
}

}  // namespace corva::tsql
