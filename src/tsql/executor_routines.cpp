// Procedures (EXEC with positional, named, default and OUTPUT arguments), dynamic batches
// (EXEC('...')), RAISERROR, and cursors: a cursor's rows are read when it is opened, with the
// rowid of each base table kept beside them for UPDATE/DELETE ... WHERE CURRENT OF.
#include <cstdio>

#include "corva/error.h"
#include "tsql/executor.h"
#include "tsql/token.h"

namespace corva::tsql {

void Executor::Exec(const ExecStmt& s) {
  std::string name;
  if (s.proc_name_var)
    name = Eval(*s.proc_name_var).ToText();
  else
    name = s.proc.back();
  auto routine = session_.handle->catalog().FindRoutine(session_.handle->db(), "P", name);
  if (!routine) ThrowSql(2812, "Could not find stored procedure '" + name + "'.");
  std::shared_ptr<CompiledRoutine> compiled = session_.handle->Routine(routine->text);
  const Program& prog = *compiled->parse.program;
  Frame frame;
  frame.program = &prog;
  frame.literals = &compiled->literals;
  frame.owner = compiled;
  frame.vars.resize(prog.vars.size());
  std::vector<bool> given(static_cast<size_t>(prog.param_count), false);
  std::vector<int> target(s.args.size(), -1);
  size_t position = 0;
  bool named_seen = false;
  for (size_t a = 0; a < s.args.size(); ++a) {
    const ExecArg& arg = s.args[a];
    int idx = -1;
    if (arg.name.empty()) {
      if (named_seen)
        ThrowSql(119, "Must pass parameter number " + std::to_string(a + 1) +
                          " and subsequent parameters as '@name = value'. After the form '@name "
                          "= value' has been used, all subsequent parameters must be passed in "
                          "the form '@name = value'.");
      if (position >= static_cast<size_t>(prog.param_count))
        ThrowSql(8144,
                 "Procedure or function " + routine->name + " has too many arguments specified.");
      idx = static_cast<int>(position++);
    } else {
      named_seen = true;
      for (int p = 0; p < prog.param_count; ++p)
        if (EqualsNoCase(prog.vars[p].name, arg.name)) idx = p;
      if (idx < 0)
        ThrowSql(8145, arg.name + " is not a parameter for procedure " + routine->name + ".");
    }
    target[a] = idx;
    if (!arg.value) continue;  // DEFAULT
    frame.vars[idx] = ConvertTo(Eval(*arg.value), prog.vars[idx].type);
    given[idx] = true;
  }
  Frame* caller = frame_;
  frame_ = &frame;
  for (int p = 0; p < prog.param_count; ++p) {
    if (given[p]) continue;
    if (!prog.param_defaults[p]) {
      frame_ = caller;
      ThrowSql(201, "Procedure or function '" + routine->name + "' expects parameter '" +
                        prog.vars[p].name + "', which was not supplied.");
    }
    frame.vars[p] = ConvertTo(Eval(*prog.param_defaults[p]), prog.vars[p].type);
  }
  frame_ = caller;
  RunFrame(&frame);
  for (size_t a = 0; a < s.args.size(); ++a) {
    const ExecArg& arg = s.args[a];
    int idx = target[a];
    if (!arg.output || idx < 0 || !prog.param_output[idx]) continue;
    if (!arg.value || arg.value->kind != ExprKind::kVariable) continue;
    int slot = arg.value->index;
    frame_->vars[slot] = ConvertTo(frame.vars[idx], Variable(slot).type);
  }
  if (s.return_slot >= 0)
    frame_->vars[s.return_slot] = frame.return_value.IsNull() ? Value::Int(0) : frame.return_value;
}

void Executor::ExecString(const ValueStmt& s) {
  std::string text = Eval(*s.value).ToText();
  LexedBatch lexed = Lex(text);
  auto batch = std::make_shared<CompiledBatch>();
  batch->parse = ParseBatch(lexed, text);
  Frame frame;
  frame.program = batch->parse.program.get();
  frame.literals = &lexed.literals;
  frame.owner = batch;
  RunFrame(&frame);
}

void Executor::Raiserror(const RaiserrorStmt& s) {
  Value msg = Eval(*s.args[0]);
  int64_t severity =
      s.args.size() > 1 ? ConvertTo(Eval(*s.args[1]), SqlType::Of(TypeKind::kInt)).i : 16;
  std::vector<Value> args;
  for (size_t i = 3; i < s.args.size(); ++i) args.push_back(Eval(*s.args[i]));
  int number = 50000;
  std::string text;
  if (msg.kind == Value::Kind::kInt) {
    number = static_cast<int>(msg.i);
    text = "Error " + std::to_string(msg.i) + ".";
  } else {
    // printf-style substitution: %s %d %i %u %x with flags and width, %% for a percent sign.
    const std::string& f = msg.s;
    size_t next = 0;
    for (size_t i = 0; i < f.size(); ++i) {
      if (f[i] != '%') {
        text += f[i];
        continue;
      }
      if (i + 1 < f.size() && f[i + 1] == '%') {
        text += '%';
        ++i;
        continue;
      }
      size_t j = i + 1;
      std::string spec = "%";
      while (j < f.size() && std::string("-+ #0123456789.*lhI6").find(f[j]) != std::string::npos) {
        if (f[j] != 'l' && f[j] != 'h' && f[j] != 'I' && f[j] != '6') spec += f[j];
        ++j;
      }
      if (j >= f.size()) break;
      char conv = f[j];
      Value v = next < args.size() ? args[next++] : Value::Null();
      char buf[256];
      if (conv == 's') {
        spec += 's';
        std::snprintf(buf, sizeof buf, spec.c_str(), v.IsNull() ? "(null)" : v.ToText().c_str());
      } else if (conv == 'd' || conv == 'i' || conv == 'u' || conv == 'x' || conv == 'X' ||
                 conv == 'o') {
        spec += "ll";
        spec += conv == 'i' ? 'd' : conv;
        long long n = v.IsNull() ? 0 : ConvertTo(v, SqlType::Of(TypeKind::kInt)).i;
        std::snprintf(buf, sizeof buf, spec.c_str(), n);
      } else {
        buf[0] = 0;
      }
      text += buf;
      i = j;
    }
  }
  session_.rowcount = 0;
  if (severity <= 10) return;
  ThrowSql(number, text);
}

// Cursors -------------------------------------------------------------------------------------

void Executor::DeclareCursor(const DeclareCursorStmt& s) {
  std::string key = ToLower(s.name);
  if (session_.cursors.count(key))
    ThrowSql(16915, "A cursor with the name '" + s.name + "' already exists.");
  CursorState c;
  c.owner = frame_->owner;
  c.decl = &s;
  session_.cursors.emplace(key, std::move(c));
  session_.rowcount = 1;
}

void Executor::CursorCommand(const NamesStmt& s) {
  const std::string& name = s.names[0].back();
  auto it = session_.cursors.find(ToLower(name));
  if (it == session_.cursors.end())
    ThrowSql(16916, "A cursor with the name '" + name + "' does not exist.");
  CursorState& c = it->second;
  switch (s.kind) {
    case StmtKind::kOpen: {
      if (c.open) ThrowSql(16905, "The cursor is already open.");
      const DeclareCursorStmt& d = *c.decl;
      Plan* plan = GetPlan(
          d.plan, [&](Translator& t, Plan& p) { p.steps.push_back(t.Query(*d.query, true)); });
      if (plan->uses_sysobjects) RefreshSysObjects();
      SqlText& text = plan->steps[0];
      c.visible = text.columns.size();
      size_t hidden = plan->names.size() / 2;
      c.rowid_tables.assign(plan->names.begin(), plan->names.begin() + hidden);
      c.rowid_bases.assign(plan->names.begin() + hidden, plan->names.end());
      c.rows.clear();
      size_t total = c.visible + c.rowid_tables.size();
      Step(text, [&](sqlite3_stmt* st) {
        std::vector<Value> row;
        row.reserve(total);
        for (size_t i = 0; i < total; ++i)
          row.push_back(i < c.visible ? ColumnValue(st, static_cast<int>(i), text.columns[i].type)
                                      : ColumnValue(st, static_cast<int>(i)));
        c.rows.push_back(std::move(row));
      });
      c.position = -1;
      c.open = true;
      session_.rowcount = 0;
      break;
    }
    case StmtKind::kClose:
      if (!c.open) ThrowSql(16917, "Cursor is not open.");
      c.open = false;
      c.rows.clear();
      session_.rowcount = 0;
      break;
    default:
      session_.cursors.erase(it);
      session_.rowcount = 0;
      break;
  }
}

void Executor::Fetch(const FetchStmt& s) {
  auto it = session_.cursors.find(ToLower(s.cursor));
  if (it == session_.cursors.end())
    ThrowSql(16916, "A cursor with the name '" + s.cursor + "' does not exist.");
  CursorState& c = it->second;
  if (!c.open) ThrowSql(16917, "Cursor is not open.");
  if (!c.decl->scroll && s.direction != FetchDirection::kNext) {
    static const char* kNames[] = {"NEXT", "PRIOR", "FIRST", "LAST", "ABSOLUTE", "RELATIVE"};
    ThrowSql(16911, std::string("fetch: The fetch type ") + kNames[static_cast<int>(s.direction)] +
                        " cannot be used with forward only cursors.");
  }
  int64_t size = static_cast<int64_t>(c.rows.size());
  int64_t pos = c.position;
  switch (s.direction) {
    case FetchDirection::kNext:
      pos = pos + 1;
      break;
    case FetchDirection::kPrior:
      pos = pos - 1;
      break;
    case FetchDirection::kFirst:
      pos = 0;
      break;
    case FetchDirection::kLast:
      pos = size - 1;
      break;
    case FetchDirection::kAbsolute: {
      int64_t n = ConvertTo(Eval(*s.offset), SqlType::Of(TypeKind::kInt)).i;
      pos = n > 0 ? n - 1 : n < 0 ? size + n : -1;
      break;
    }
    case FetchDirection::kRelative:
      pos += ConvertTo(Eval(*s.offset), SqlType::Of(TypeKind::kInt)).i;
      break;
  }
  if (pos < 0 || pos >= size) {
    c.position = pos < 0 ? -1 : size;
    session_.fetch_status = -1;
    session_.rowcount = 0;
    return;
  }
  if (!s.into.empty() && s.into.size() != c.visible)
    ThrowSql(16924,
             "Cursorfetch: The number of variables declared in the INTO list must match "
             "that of selected columns.");
  c.position = pos;
  const std::vector<Value>& row = c.rows[static_cast<size_t>(pos)];
  if (s.into.empty()) {
    ResultSet rs;
    const DeclareCursorStmt& d = *c.decl;
    const SqlText& text = d.plan->steps[0];
    std::vector<Variant> out;
    for (size_t i = 0; i < c.visible; ++i) {
      rs.columns.push_back(text.columns[i].name);
      out.push_back(ValueToVariant(row[i], text.columns[i].type));
    }
    rs.rows.push_back(std::move(out));
    out_->result_sets.push_back(std::move(rs));
  } else {
    for (size_t i = 0; i < s.into.size(); ++i)
      frame_->vars[s.into[i]] = ConvertTo(row[i], Variable(s.into[i]).type);
  }
  session_.fetch_status = 0;
  session_.rowcount = 1;
}

}  // namespace corva::tsql
