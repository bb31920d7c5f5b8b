#include "files/DataFileChecks.h"

#include <cerrno>
#include <cstdlib>

#include "files/CodePage932.h"
#include "files/DataFile.h"

namespace kelvane {
namespace {

// The ASCII characters of a label, runs of spaces made one and the ends
// trimmed.  `shiftJis` tells how to pass over the other characters: a
// Shift_JIS lead byte takes its trail byte (which may look like ASCII)
// along; in UTF-8 every byte of a longer character is 0x80 or above.
std::string AsciiPart(const std::string& text, bool shiftJis) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x80) {
      if (shiftJis && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))) ++i;
      continue;
    }
    if (b == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += static_cast<char>(b);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Two texts of one value: equal as numbers where both are whole numbers,
// else equal as texts.
bool SameValue(const std::string& a, const std::string& b) {
  if (a == b) return true;
  char* endA = nullptr;
  char* endB = nullptr;
  errno = 0;
  const double x = std::strtod(a.c_str(), &endA);
  const double y = std::strtod(b.c_str(), &endB);
  return !a.empty() && !b.empty() && *endA == '\0' && *endB == '\0' && x == y;
}

std::string Value(const std::string& line, std::size_t equals) {
  std::size_t begin = line.find_first_not_of(' ', equals + 1);
  if (begin == std::string::npos) return {};
  const std::size_t end = line.find(' ', begin);
  return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace

std::vector<std::string> CheckDataFile(const std::vector<std::string>& lines, const FieldTexts& used) {
  std::vector<std::string> out;
  for (int i = 1; i <= DataFileLineCount && static_cast<std::size_t>(i) <= lines.size(); ++i) {
    const std::string& line = lines[i - 1];
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;  // the reader refuses such a file
    const FieldSpec& field = FieldForDataLine(i);
    const std::string expected = AsciiPart(field.EchoLabel, false);
    const std::string found = AsciiPart(line.substr(0, equals), true);
    if (!expected.empty() && found != expected)
      out.push_back("line " + std::to_string(i) + " is labelled \"" + found + "\" where \"" + expected +
                    "\" belongs; its value is read as " + field.Member);
    if (field.Enabled) continue;
    const std::string value = Cp932ToUtf8(Value(line, equals));
    const std::string kept = used.Text(field.Component);
    if (!SameValue(value, kept))
      out.push_back("line " + std::to_string(i) + " gives " + field.Member + " as " + value +
                    ", a fixed field: the run uses " + kept);
  }
  return out;
}

}  // namespace kelvane
