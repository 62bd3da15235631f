// How the rules splice values into SQL text: numbers through one formatter, text through one
// quoting helper that doubles single quotes, and statements assembled from fragments joined by CR
// LF, so that a batch reads as SQL and matches, byte for byte, what the database receives.
#ifndef CORVA_BILLS_SQL_TEXT_H_
#define CORVA_BILLS_SQL_TEXT_H_

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace CorvaMSHTransBills {

inline constexpr std::string_view kCrLf = "\r\n";

// The decimal text of a whole number: "-12", "0".
inline std::string SqlNumber(int64_t value) { return std::to_string(value); }
inline std::string SqlNumber(int32_t value) { return std::to_string(value); }

// A quantity as SQL reads it: whole values without a fraction ("3"), others in their shortest
// exact form with 15 significant digits ("0.25", "1234.5"), never in exponent form.
inline std::string SqlNumber(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<int64_t>(value));
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  std::string text(buffer);
  if (text.find_first_of("eE") != std::string::npos) {
    std::snprintf(buffer, sizeof buffer, "%.15f", value);
    text = buffer;
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  return text;
}

// `text` as an SQL string literal: in single quotes, each single quote doubled.
inline std::string SqlQuote(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('\'');
  for (char c : text) {
    if (c == '\'') quoted.push_back('\'');
    quoted.push_back(c);
  }
  quoted.push_back('\'');
  return quoted;
}

// The fragments of one statement or batch joined by CR LF (none after the last).
inline std::string JoinCrLf(std::initializer_list<std::string_view> fragments) {
  std::string joined;
  bool first = true;
  for (std::string_view fragment : fragments) {
    if (!first) joined.append(kCrLf);
    joined.append(fragment);
    first = false;
  }
  return joined;
}

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_SQL_TEXT_H_
