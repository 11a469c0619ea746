// Where the perimetry database is: the server named by the first line of a
// small configuration file, followed by the fixed database path.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace patlink {

using ServerLines = std::vector<std::string>;

inline constexpr std::string_view kServerConfigPath = "C:\\V_ZADEVAVAD\\Server.cfg";
inline constexpr std::string_view kDefaultServerLine = "localhost";
inline constexpr std::string_view kDatabasePathSuffix = ":\\V_DATABASE\\VDATA.GDB";

// Lines of a text: a line ends at CR, LF or CR LF; a line end at the very
// end adds no empty line; a zero byte ends the text. A UTF-8 byte-order mark
// at the head is skipped.
ServerLines SplitLines(std::string_view text);

// The configuration file's lines, or the one default line when there is no
// such file. Throws platform::FileOpenError when the file cannot be read.
ServerLines BuildServerLines();

class ConfigurationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The first line, without surrounding blanks and tabs, followed by the
// database path. Throws ConfigurationError for an empty list.
std::string BuildDatabaseName(const ServerLines& lines);

}  // namespace patlink
