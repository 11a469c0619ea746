#include "run/trace.h"

#include <regex>

#include "store/database_error.h"

namespace patlink {

namespace {

// The server quotes offending values in some messages ("validation error
// for column ..., value "..."", "conversion error from string "...""): they
// may be a name or a date of birth.
std::string WithoutValues(const std::string& message) {
  static const std::regex quoted_value(R"((value|string|=) ("[^"]*"|'[^']*'))");
  return std::regex_replace(message, quoted_value, "$1 \"***\"");
}

}  // namespace

std::string DescribeFailure(const std::exception& failure) {
  // One line: the server's messages come as several.
  std::string text;
  for (char c : WithoutValues(failure.what())) {
    if (c == '\n')
      text += "; ";
    else
      text += c;
  }
  if (const auto* database = dynamic_cast<const DatabaseError*>(&failure))
    if (database->sqlcode() != 0) text += " (SQL code " + std::to_string(database->sqlcode()) + ")";
  return text;
}

// Enough to see a caller's quoting mistake, without names or dates of birth.
std::string DescribeParameters(const std::vector<std::string>& parameters) {
  std::string text = "parameters: " + std::to_string(parameters.size()) + " (lengths";
  for (std::size_t i = 0; i < parameters.size(); ++i)
    text += (i ? ", " : " ") + std::to_string(parameters[i].size());
  return text + ")";
}

}  // namespace patlink
