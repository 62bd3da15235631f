// How `corva call` reads a value from the command line (numbers, booleans, Null, Empty, text,
// dates, and nested Dictionaries and Vectors such as a SaveVect) and writes a value back in the
// same syntax on one line, so that what the program prints can be pasted into the next call.
#ifndef CORVA_TOOLS_VALUE_SYNTAX_H_
#define CORVA_TOOLS_VALUE_SYNTAX_H_

#include <stdexcept>
#include <string>
#include <string_view>

#include "corva/variant.h"

namespace corva::cli {

// An argument the syntax cannot read; what() names the problem and the character it was found at.
class ValueSyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The syntax, as the subcommand's help shows it.
inline constexpr char kValueSyntaxHelp[] =
    "ARG syntax: 123 Long, 1.5 Double, true/false Boolean, null Null, empty or - Empty,\n"
    "'text' or any other word String ('' inside quotes is one quote), date:2026-03-10[ 08:30]\n"
    "Date, {k=v,k2=v2} Dictionary, [a,b,{...}] Vector (nested freely; inside them a bare word\n"
    "ends at , } or ], so quote text holding those). Example SaveVect: [{FInterID=2001}]";

// Reads one command-line argument. A whole argument that is not a number, keyword, date,
// Dictionary, Vector or quoted text is String as it stands (blanks and commas included); inside a
// Dictionary or Vector a bare word is trimmed and ends at ",", "}" or "]", a Dictionary's key also
// at "=". Nothing at all (an empty argument, "[1,,2]", "{k=}") is Empty. Integers beyond 32 bits
// become Double. Duplicate keys of one Dictionary are an error (keys ignore letter case).
// Throws ValueSyntaxError.
Variant ParseValue(std::string_view text);

// `value` in the syntax ParseValue reads, on one line: text is quoted only where a bare word
// would read differently, Booleans are True/False, Doubles keep a decimal point. Recordsets and
// other objects, which the syntax cannot build, show as "<Recordset, N rows>" and "<object>".
std::string ToValueSyntax(const Variant& value);

}  // namespace corva::cli

#endif  // CORVA_TOOLS_VALUE_SYNTAX_H_
