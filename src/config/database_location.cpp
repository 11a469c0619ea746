#include "config/database_location.h"

#include "platform/platform.h"

namespace patlink {

ServerLines SplitLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  ServerLines lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

ServerLines BuildServerLines() {
  const std::string path = platform::LocalPath(kServerConfigPath);
  if (!platform::IsFile(path)) return {std::string(kDefaultServerLine)};
  return SplitLines(platform::ReadFileDenyingWriters(path));
}

std::string BuildDatabaseName(const ServerLines& lines) {
  if (lines.empty()) throw ConfigurationError("the server configuration file is empty");
  std::string_view server = lines.front();
  const auto first = server.find_first_not_of(" \t");
  server = first == std::string_view::npos
               ? std::string_view()
               : server.substr(first, server.find_last_not_of(" \t") - first + 1);
  return std::string(server) + std::string(kDatabasePathSuffix);
}

}  // namespace patlink
