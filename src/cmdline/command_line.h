// The command line: the Windows splitting rule and the conversion of the
// parameters to the database's 8-bit character set.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace patlink {

// Splits a command line into parameters: runs of characters up to the blank
// separate them; a double quote opens a stretch up to the next double quote
// (or the end) in which blanks do not separate; the quotes are dropped. An
// empty quoted parameter ("") is an empty parameter in its own place.
// Works on UTF-8 because every character it looks at is ASCII.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

class EncodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// UTF-8 to Windows code page 1250, the connection character set. A character
// that code page cannot hold, or a text that is not UTF-8, throws: a lookalike
// or "?" would silently register a different name.
std::string Utf8ToWin1250(std::string_view utf8);

}  // namespace patlink
