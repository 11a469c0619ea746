#include "cmdline/command_line.h"

#include <array>

namespace patlink {

std::vector<std::string> SplitCommandLine(std::string_view command_line) {
  std::vector<std::string> parameters;
  std::size_t i = 0;
  const std::size_t n = command_line.size();
  auto is_separator = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (true) {
    while (i < n && is_separator(command_line[i])) ++i;
    if (i == n) break;
    std::string parameter;
    bool quoted = false;
    for (; i < n && (quoted || !is_separator(command_line[i])); ++i) {
      if (command_line[i] == '"')
        quoted = !quoted;
      else
        parameter += command_line[i];
    }
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

namespace {

// Code points of bytes 0x80..0xFF in code page 1250. The five unassigned
// bytes map to the C1 controls of the same number, as Windows maps them.
constexpr std::array<char16_t, 128> kWin1250High = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160,
    0x2039, 0x015A, 0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0,
    0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6,
    0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1,
    0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A,
    0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2,
    0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED,
    0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159,
    0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

// Decodes one UTF-8 sequence at text[i], advancing i; rejects overlong
// forms, surrogates and truncated sequences.
char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  int length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    throw EncodingError("parameter is not valid UTF-8");
  }
  if (i + length > text.size()) throw EncodingError("parameter is not valid UTF-8");
  for (int k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) throw EncodingError("parameter is not valid UTF-8");
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    throw EncodingError("parameter is not valid UTF-8");
  i += length;
  return code;
}

}  // namespace

std::string Utf8ToWin1250(std::string_view utf8) {
  std::string result;
  result.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t code = DecodeUtf8(utf8, i);
    if (code < 0x80) {
      result += static_cast<char>(code);
      continue;
    }
    std::size_t slot = 0;
    while (slot < kWin1250High.size() && kWin1250High[slot] != code) ++slot;
    if (slot == kWin1250High.size())
      throw EncodingError("parameter holds a character outside code page 1250");
    result += static_cast<char>(0x80 + slot);
  }
  return result;
}

}  // namespace patlink
