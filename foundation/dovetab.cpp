#include "foundation/dovetab.h"

#include <cstdint>
#include <limits>
#include <string_view>

namespace dovetab {
namespace {

constexpr std::string_view kHeaderText(kHeader, sizeof(kHeader) - 1);
constexpr std::string_view kLineEnd("\r\n");

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The white space a C runtime's atoi skips, independent of the locale.
bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// atoi-like: optional white space, optional sign, digits up to the first
// non-digit; no digits gives 0. Out-of-range numbers clamp to the 32-bit
// limits, as the Windows runtime's atoi does, instead of overflowing.
int32_t ParseInt(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  // Magnitude up to 2^31 fits; stop growing once past it.
  constexpr int64_t kLimit = int64_t{1} << 31;
  int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[at] - '0');
  }
  if (negative) {
    return magnitude >= kLimit ? std::numeric_limits<int32_t>::min()
                               : static_cast<int32_t>(-magnitude);
  }
  return magnitude >= kLimit ? std::numeric_limits<int32_t>::max()
                             : static_cast<int32_t>(magnitude);
}

// Decodes the characters of a quoted string up to its closing quote or the
// end of `text`; returns where it stopped (text.size() when no quote closed).
//
// A backslash followed by a double quote is a quote. In front of r or n a run
// of backslashes is read in pairs: each pair is one backslash, and a single
// one left over makes the letter a carriage return or a line feed. So "\n"
// is a line feed as it always was, and "\\n" is a backslash and the letter n,
// which is how a folder name starting with n after a backslash is written.
// Any other backslash stands for itself.
size_t DecodeQuoted(std::string_view text, std::string& out) {
  out.clear();
  size_t at = 0;
  while (at < text.size()) {
    char c = text[at];
    if (c == '"') return at;
    if (c != '\\') {
      out += c;
      ++at;
      continue;
    }
    size_t run = 0;
    while (at + run < text.size() && text[at + run] == '\\') ++run;
    char next = at + run < text.size() ? text[at + run] : '\0';
    if (at + run < text.size() && (next == 'r' || next == 'n')) {
      out.append(run / 2, '\\');
      if (run % 2 == 1) {
        out += next == 'r' ? '\r' : '\n';
      } else {
        out += next;
      }
      at += run + 1;
    } else if (at + run < text.size() && next == '"') {
      out.append(run - 1, '\\');
      out += '"';
      at += run + 1;
    } else {
      out.append(run, '\\');
      at += run;
    }
  }
  return at;
}

// The quoted string starting after the opening quote. False when the closing
// quote is missing: such a line is dropped rather than kept half-read.
// A string ending in a backslash used to be written with that backslash right
// before the closing quote, which then reads as an escaped quote and leaves
// the string open. A line whose open string ends with that quote is therefore
// read as closed there, its last backslash belonging to the string.
bool ParseQuoted(std::string_view text, std::string& out) {
  if (DecodeQuoted(text, out) < text.size()) return true;
  if (text.size() >= 2 && text.back() == '"' && text[text.size() - 2] == '\\') {
    DecodeQuoted(text.substr(0, text.size() - 1), out);
    return true;
  }
  return false;
}

// One entry line (without its "\r\n"); false when it does not fit the format.
bool ParseLine(std::string_view line, Setting& entry) {
  size_t at = 0;
  while (at < line.size() && !IsBlank(line[at])) ++at;
  if (at == 0) return false;
  std::string_view name = line.substr(0, at);
  size_t blanks = at;
  while (at < line.size() && IsBlank(line[at])) ++at;
  if (at == blanks || at == line.size() || line[at] != '=') return false;
  ++at;
  while (at < line.size() && IsBlank(line[at])) ++at;
  std::string_view value = line.substr(at);

  entry = Setting();
  entry.name.assign(name);
  entry.persistent = true;
  if (!value.empty() && value.front() == '"') {
    entry.type = Setting::Type::String;
    return ParseQuoted(value.substr(1), entry.stringValue);
  }
  if (value == "Yes" || value == "No") {
    entry.type = Setting::Type::Bool;
    entry.boolValue = value == "Yes";
    return true;
  }
  entry.type = Setting::Type::Int;
  entry.intValue = ParseInt(value);
  return true;
}

}  // namespace

void Parse(const std::string& text, const std::function<void(const Setting&)>& apply) {
  std::string_view rest(text);
  if (rest.substr(0, kHeaderText.size()) != kHeaderText) return;
  rest.remove_prefix(kHeaderText.size());
  Setting entry;
  for (;;) {
    size_t end = rest.find(kLineEnd);
    if (end == std::string_view::npos) break;  // an unterminated last line is ignored
    if (ParseLine(rest.substr(0, end), entry)) apply(entry);
    rest.remove_prefix(end + kLineEnd.size());
  }
}

std::string FormatValue(const Setting& entry) {
  switch (entry.type) {
    case Setting::Type::Int:
      return std::to_string(entry.intValue);
    case Setting::Type::Bool:
      return entry.boolValue ? "Yes" : "No";
    case Setting::Type::String:
      break;
  }
  const std::string& text = entry.stringValue;
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (size_t at = 0; at < text.size(); ++at) {
    char c = text[at];
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\': {
        // A backslash run is written as is, unless an r or n (or a carriage
        // return or line feed, written as \r and \n) follows it: then every
        // backslash of the run is doubled, so the reader does not take the
        // letter for an escape.
        size_t end = at;
        while (end < text.size() && text[end] == '\\') ++end;
        bool escapeLetterFollows = end < text.size() && (text[end] == 'r' || text[end] == 'n' ||
                                                         text[end] == '\r' || text[end] == '\n');
        out.append(escapeLetterFollows ? 2 * (end - at) : end - at, '\\');
        at = end - 1;
        break;
      }
      default:
        out += c;
        break;
    }
  }
  out += '"';
  return out;
}

std::string Write(const std::vector<Setting>& entries) {
  std::string out(kHeaderText);
  for (const Setting& entry : entries) {
    out += entry.name;
    out += " = ";
    out += FormatValue(entry);
    out += kLineEnd;
  }
  return out;
}

}  // namespace dovetab
