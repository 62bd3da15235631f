// Checks of the caller's text that a rule splices into its SQL by design (an id, a list of ids,
// a list of quoted date literals, a table name, a further condition). The text goes into the
// statement unchanged, so it must have the shape the operation documents and nothing more: text
// of another shape would change what the statement does. A check that fails throws a run-time
// error of the call, which then takes the exit the database's own error would have taken.
#ifndef CORVA_FRAME_CALLER_TEXT_H_
#define CORVA_FRAME_CALLER_TEXT_H_

#include <string>
#include <string_view>

namespace corva::frame {

// Each check returns `text` unchanged when it has the shape, and otherwise throws corva::Error 5
// (invalid procedure call or argument, source "CorvaMSHTransBills") whose description names the
// argument `what` (as the host knows it: "sInterID", "FInterID"), quotes the text and says which
// shape was expected. Blanks around the text and its items are allowed everywhere.

// A whole number, optionally signed: "1001", " -5 ".
const std::string& CheckIdText(std::string_view what, const std::string& text);
// One or more whole numbers separated by commas: "1001,1002, 1003".
const std::string& CheckIdListText(std::string_view what, const std::string& text);
// One or more quoted date literals separated by commas, each a date Date::Parse reads:
// "'2026-05-01','2026-05-04 08:00'".
const std::string& CheckDateListText(std::string_view what, const std::string& text);
// A table name: a "#" temporary table or a table, each part a name or a bracketed name, parts
// joined by "." ("#Detail", "dbo.t_Stock", "tempdb..[#My Table]").
const std::string& CheckTableNameText(std::string_view what, const std::string& text);
// A further condition to append after a WHERE clause ("AND t2.FItemID IN (1, 2)"), or nothing:
// an expression, not a statement. Refused: ";", a word that begins a statement (UPDATE, DELETE,
// INSERT, DROP, EXEC, DECLARE, SET, ...) outside quotes, brackets and comments, SELECT outside
// parentheses, and an unclosed quote, bracket or comment.
const std::string& CheckConditionText(std::string_view what, const std::string& text);
// Text that goes between single quotes: it must not hold a single quote.
const std::string& CheckQuotedText(std::string_view what, const std::string& text);

}  // namespace corva::frame

#endif  // CORVA_FRAME_CALLER_TEXT_H_
