// Sessions: a session takes a slot on its handle (its "#" tables are named "#t$<slot>" in the
// handle's temp schema, so sessions sharing a handle never see each other's), and runs batches
// through the batch cache: lexed, looked up by their literal-free key, parsed on a miss, told to
// the handle's transaction as reading or writing, executed.
#include <algorithm>

#include "corva/error.h"
#include "tsql/executor.h"
#include "tsql/token.h"

namespace corva::tsql {
namespace {

using Access = CompiledBatch::Access;

bool IsTempName(const std::vector<std::string>& name) {
  return !name.empty() && !name.back().empty() && (name.back()[0] == '#' || name.back()[0] == '@');
}

// The table an UPDATE or DELETE target names: the target itself, or the table of the FROM entry
// whose alias it is.
const std::vector<std::string>* AliasedTable(const TableRef& ref, const std::string& alias) {
  if (ref.kind == TableRef::Kind::kJoin) {
    if (const auto* found = AliasedTable(*ref.left, alias)) return found;
    return AliasedTable(*ref.right, alias);
  }
  if (ref.kind == TableRef::Kind::kNamed && EqualsNoCase(ref.alias, alias)) return &ref.name;
  return nullptr;
}

bool WritesTable(const std::vector<std::string>& target, const std::vector<TableRefPtr>& from) {
  if (target.size() == 1) {
    for (const TableRefPtr& ref : from)
      if (const auto* table = AliasedTable(*ref, target[0])) return !IsTempName(*table);
  }
  return !IsTempName(target);
}

// What a statement may do to the database: write it (DML or DDL outside "#" tables and table
// variables, any EXEC, since procedures write), only read it, or not touch SQLite at all. In
// doubt, a write: a write found while reading costs the transaction its chance to read without
// the lock, a write missed would only be caught at the statement itself.
Access StatementAccess(const Stmt& s) {
  switch (s.kind) {
    case StmtKind::kSetOption:
    case StmtKind::kNoop:
      return Access::kNone;
    case StmtKind::kDeclare: {
      for (const DeclareItem& item : static_cast<const DeclareStmt&>(s).items)
        if (item.init) return Access::kRead;
      return Access::kNone;
    }
    case StmtKind::kSelect: {
      const auto& into = static_cast<const SelectStmt&>(s).query->cores[0].into;
      return into.empty() || IsTempName(into) ? Access::kRead : Access::kWrite;
    }
    case StmtKind::kInsert: {
      const auto& i = static_cast<const InsertStmt&>(s);
      return i.exec || !IsTempName(i.table) ? Access::kWrite : Access::kRead;  // EXEC may write
    }
    case StmtKind::kUpdate: {
      const auto& u = static_cast<const UpdateStmt&>(s);
      return WritesTable(u.target, u.from) ? Access::kWrite : Access::kRead;
    }
    case StmtKind::kDelete: {
      const auto& d = static_cast<const DeleteStmt&>(s);
      return WritesTable(d.target, d.from) ? Access::kWrite : Access::kRead;
    }
    case StmtKind::kCreateTable:
      return IsTempName(static_cast<const CreateTableStmt&>(s).name) ? Access::kRead
                                                                     : Access::kWrite;
    case StmtKind::kCreateIndex:
      return IsTempName(static_cast<const CreateIndexStmt&>(s).table) ? Access::kRead
                                                                      : Access::kWrite;
    case StmtKind::kDropTable:
    case StmtKind::kTruncate: {
      for (const auto& name : static_cast<const NamesStmt&>(s).names)
        if (!IsTempName(name)) return Access::kWrite;
      return Access::kRead;
    }
    case StmtKind::kIf: {
      const auto& i = static_cast<const IfStmt&>(s);
      Access a = StatementAccess(*i.then_branch);
      if (i.else_branch) a = std::max(a, StatementAccess(*i.else_branch));
      return std::max(a, Access::kRead);  // the condition is evaluated
    }
    case StmtKind::kWhile:
      return std::max(StatementAccess(*static_cast<const WhileStmt&>(s).body), Access::kRead);
    case StmtKind::kBlock: {
      Access a = Access::kNone;
      for (const StmtPtr& inner : static_cast<const BlockStmt&>(s).body)
        a = std::max(a, StatementAccess(*inner));
      return a;
    }
    case StmtKind::kSet:
    case StmtKind::kDeclareTable:
    case StmtKind::kDeclareCursor:
    case StmtKind::kOpen:
    case StmtKind::kFetch:
    case StmtKind::kClose:
    case StmtKind::kDeallocate:
    case StmtKind::kBreak:
    case StmtKind::kContinue:
    case StmtKind::kReturn:
    case StmtKind::kPrint:
    case StmtKind::kRaiserror:
      return Access::kRead;
    default:  // EXEC, procedures, triggers, DROP INDEX, ALTER TABLE
      return Access::kWrite;
  }
}

Access BatchAccess(const Program& program) {
  Access a = Access::kNone;
  for (const StmtPtr& s : program.stmts) a = std::max(a, StatementAccess(*s));
  return a;
}

}  // namespace

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

  // A batch sent before as it stands is found by its text. Otherwise a cached parse needs only
  // the key and the literal values; the tokens are made on a miss.
  std::shared_ptr<const HandleImpl::KnownText> known;
  if (params.empty()) known = h->FindText(batch);
  std::shared_ptr<CompiledBatch> compiled;
  LexedBatch lexed;
  if (known) {
    compiled = known->compiled;
  } else {
    lexed = LexKey(batch);
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
    compiled = h->FindBatch(key, lexed.literals);
    if (!compiled) {
      LexedBatch full = Lex(batch, true);
      compiled = std::make_shared<CompiledBatch>();
      compiled->parse = ParseBatch(full, batch);
      compiled->literal_count = full.literals.size();
      for (int index : compiled->parse.structural_literals)
        compiled->structural.emplace_back(index, lexed.literals[index]);
      compiled->access = BatchAccess(*compiled->parse.program);
      if (compiled->parse.cacheable) h->AddBatch(key, compiled);
    }
    if (lexed.param_count == 0 && compiled->parse.cacheable) {
      auto entry = std::make_shared<HandleImpl::KnownText>();
      entry->compiled = compiled;
      entry->literals = std::move(lexed.literals);
      known = entry;
      h->AddText(batch, std::move(entry));
    }
  }
  // A batch that only sets options (the isolation level every rule connection sets first) has
  // nothing to ask SQLite.
  if (compiled->access != Access::kNone) {
    h->BeforeBatch(compiled->access);
    h->RefreshCatalog();
  }
  BatchResult out;
  Executor executor(s, &out);
  executor.RunBatch(compiled, known ? known->literals : lexed.literals);
  return out;
}

}  // namespace corva::tsql
