// Conditions the executor decides itself: comparisons of int variables and literals, IS NULL of a
// variable or literal, and AND, OR, NOT over them, with SQL's three-valued logic (a comparison
// with Null is unknown; unknown AND false is false, unknown OR true is true, NOT unknown is
// unknown). They are most of the IF and WHILE conditions of the rules' batches and procedures, and
// each would otherwise be a SELECT sent to SQLite. Anything else goes to SQLite as before.
#include "tsql/executor.h"

namespace corva::tsql {

bool Executor::EvalIntCondition(const Expr& e, Value* out) {
  // A literal, parameter, variable or negated one, read as is.
  auto plain = [&](const Expr& x, Value* v) {
    bool simple =
        x.kind == ExprKind::kLiteral || x.kind == ExprKind::kParam ||
        x.kind == ExprKind::kVariable || x.kind == ExprKind::kNull ||
        (x.kind == ExprKind::kUnary && x.name == "-" &&
         (x.args[0]->kind == ExprKind::kLiteral || x.args[0]->kind == ExprKind::kVariable));
    if (simple) *v = Eval(x);
    return simple;
  };
  auto integer = [&](const Expr& x, Value* v) {
    return plain(x, v) && (v->kind == Value::Kind::kInt || v->kind == Value::Kind::kNull);
  };
  // Truth values as SQL has them: 1, 0, or Null for unknown.
  switch (e.kind) {
    case ExprKind::kCompare: {
      enum { kEq, kNe, kLt, kGt, kLe, kGe } op;
      if (e.name == "=")
        op = kEq;
      else if (e.name == "<>")
        op = kNe;
      else if (e.name == "<")
        op = kLt;
      else if (e.name == ">")
        op = kGt;
      else if (e.name == "<=")
        op = kLe;
      else if (e.name == ">=")
        op = kGe;
      else
        return false;
      Value a, b;
      if (!integer(*e.args[0], &a) || !integer(*e.args[1], &b)) return false;
      if (a.IsNull() || b.IsNull()) {
        *out = Value::Null();
        return true;
      }
      bool r = op == kEq   ? a.i == b.i
               : op == kNe ? a.i != b.i
               : op == kLt ? a.i < b.i
               : op == kGt ? a.i > b.i
               : op == kLe ? a.i <= b.i
                           : a.i >= b.i;
      *out = Value::Int(r ? 1 : 0);
      return true;
    }
    case ExprKind::kIsNull: {
      Value a;
      if (!plain(*e.args[0], &a)) return false;
      *out = Value::Int(a.IsNull() != e.negated ? 1 : 0);
      return true;
    }
    case ExprKind::kAnd:
    case ExprKind::kOr: {
      Value a, b;
      if (!EvalIntCondition(*e.args[0], &a) || !EvalIntCondition(*e.args[1], &b)) return false;
      const bool is_and = e.kind == ExprKind::kAnd;
      // AND: a false side decides, even beside an unknown one; OR: a true side does.
      if ((!a.IsNull() && (a.i != 0) != is_and) || (!b.IsNull() && (b.i != 0) != is_and))
        *out = Value::Int(is_and ? 0 : 1);
      else if (a.IsNull() || b.IsNull())
        *out = Value::Null();
      else
        *out = Value::Int(is_and ? 1 : 0);
      return true;
    }
    case ExprKind::kNot: {
      Value a;
      if (!EvalIntCondition(*e.args[0], &a)) return false;
      *out = a.IsNull() ? Value::Null() : Value::Int(a.i == 0 ? 1 : 0);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace corva::tsql
