// Folder rights and their file. The rule for a request is found by the
// request's path, however the client spelled it: a client must never reach a
// folder past its rule by writing the folder's name another way.
#include "orvihttp/access/folder_rights.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "foundation/file_open.h"
#include "foundation/file_system.h"
#include "foundation/text_basics.h"
#include "orvihttp/access/account_name.h"

namespace {

constexpr char kRightsFileHeader[] = "# Orvi HTTP Server folder rights";
constexpr char kUploadToField[] = "upload-to";

std::size_t Index(FolderRight right) {
  return static_cast<std::size_t>(right);
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    segments.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return segments;
}

// Empty segments and "." name the folder they are in, ".." its parent (never
// above the root): the same folders the server's own path handling reaches.
std::vector<std::string> PlainSegments(const std::string& path) {
  std::vector<std::string> plain;
  for (std::string& segment : SplitPath(path)) {
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (!plain.empty()) plain.pop_back();
      continue;
    }
    plain.push_back(std::move(segment));
  }
  return plain;
}

std::string Join(const std::vector<std::string>& segments, std::size_t count) {
  if (count == 0) return "/";
  std::string path;
  for (std::size_t i = 0; i < count; ++i) path += "/" + segments[i];
  return path;
}

std::string KeyForm(const std::string& path) {
  const std::vector<std::string> segments = PlainSegments(path);
  return Join(segments, segments.size());
}

// Windows drops trailing dots and spaces from a name and ignores letter case,
// and clients and tools there follow suit, so "/Docs./" may well mean
// "/docs". Rules are matched on this folded form, which only ever makes a
// rule cover more spellings, never fewer. A name that folds to nothing is
// read like ".".
std::vector<std::string> MatchSegments(const std::string& path) {
  std::vector<std::string> folded;
  for (std::string& segment : PlainSegments(path)) {
    while (!segment.empty() && (segment.back() == '.' || segment.back() == ' ')) {
      segment.pop_back();
    }
    if (segment.empty()) continue;
    for (char& c : segment) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    folded.push_back(std::move(segment));
  }
  return folded;
}

std::string MatchForm(const std::string& path) {
  const std::vector<std::string> segments = MatchSegments(path);
  return Join(segments, segments.size());
}

// '%', tab, CR, LF and the other control bytes as %XX, so a path stays on
// its line; bytes of a name that is not UTF-8 (a Latin-1 name) the same way,
// so the file stays UTF-8 text.
std::string EncodePath(const std::string& path) {
  const bool utf8 = IsWellFormedUtf8(path);
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '%' || (byte >= 0x80 && !utf8)) {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> DecodePath(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
    if (low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

std::vector<std::string> SplitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t cut = text.find(separator, start);
    parts.push_back(text.substr(start, cut == std::string::npos ? cut : cut - start));
    if (cut == std::string::npos) return parts;
    start = cut + 1;
  }
}

}  // namespace

const char* FolderRightName(FolderRight right) {
  switch (right) {
    case FolderRight::See:
      return "see";
    case FolderRight::Upload:
      return "upload";
    case FolderRight::Delete:
      return "delete";
  }
  return "";
}

std::optional<FolderRight> ParseFolderRight(const std::string& text) {
  for (FolderRight right : kFolderRights) {
    if (text == FolderRightName(right)) return right;
  }
  return std::nullopt;
}

bool RightHolders::Admits(const std::string* account) const {
  switch (kind) {
    case Kind::Everyone:
      return true;
    case Kind::Accounts:
      return account != nullptr;
    case Kind::Names:
      return account && std::find(names.begin(), names.end(), *account) != names.end();
  }
  return false;
}

std::string RightHolders::Text() const {
  if (kind == Kind::Everyone) return kEveryoneHolder;
  if (kind == Kind::Accounts) return kAccountsHolder;
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
  return text;
}

std::optional<RightHolders> RightHolders::Parse(const std::string& text, std::string* why) {
  RightHolders holders;
  if (IsWordIgnoringCase(text, kEveryoneHolder)) return holders;
  if (IsWordIgnoringCase(text, kAccountsHolder)) {
    holders.kind = Kind::Accounts;
    return holders;
  }
  holders.kind = Kind::Names;
  if (text.empty()) return holders;  // nobody
  for (std::string& name : SplitOn(text, ',')) {
    if (!IsValidAccountName(name, why)) return std::nullopt;
    if (std::find(holders.names.begin(), holders.names.end(), name) != holders.names.end()) {
      if (why) *why = "the account " + name + " is named twice";
      return std::nullopt;
    }
    holders.names.push_back(std::move(name));
  }
  return holders;
}

RightHolders RightHolders::Both(const RightHolders& first, const RightHolders& second) {
  if (first.kind == Kind::Everyone) return second;
  if (second.kind == Kind::Everyone) return first;
  if (first.kind == Kind::Accounts) return second;
  if (second.kind == Kind::Accounts) return first;
  RightHolders both;
  both.kind = Kind::Names;
  for (const std::string& name : first.names) {
    if (std::find(second.names.begin(), second.names.end(), name) != second.names.end()) {
      both.names.push_back(name);
    }
  }
  return both;
}

void FolderRightsTable::Insert(const std::string& key, Rules rules) {
  auto found = rules_.find(key);
  if (found == rules_.end()) {
    rules_.emplace(key, std::move(rules));
    byMatch_.emplace(MatchForm(key), key);
  } else {
    found->second = std::move(rules);
  }
}

void FolderRightsTable::Erase(const std::string& key) {
  if (rules_.erase(key) == 0) return;
  auto range = byMatch_.equal_range(MatchForm(key));
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == key) {
      byMatch_.erase(it);
      return;
    }
  }
}

void FolderRightsTable::Set(const std::string& folderPath, FolderRight right,
                            RightHolders holders) {
  const std::string key = KeyForm(folderPath);
  auto found = rules_.find(key);
  Rules rules = found == rules_.end() ? Rules{} : found->second;
  rules.rights[Index(right)] = std::move(holders);
  Insert(key, std::move(rules));
}

void FolderRightsTable::SetUploadTo(const std::string& folderPath,
                                    std::optional<std::string> realFolder) {
  const std::string key = KeyForm(folderPath);
  auto found = rules_.find(key);
  if (found == rules_.end()) {
    if (!realFolder) return;
    Rules rules;
    rules.uploadTo = std::move(realFolder);
    Insert(key, std::move(rules));
    return;
  }
  found->second.uploadTo = std::move(realFolder);
  if (!found->second.Any()) Erase(key);
}

std::optional<std::string> FolderRightsTable::UploadTo(const std::string& folderPath) const {
  auto found = rules_.find(KeyForm(folderPath));
  if (found == rules_.end()) return std::nullopt;
  return found->second.uploadTo;
}

std::vector<std::string> FolderRightsTable::UploadFolders() const {
  std::vector<std::string> folders;
  for (const auto& [key, rules] : rules_) {
    if (rules.uploadTo) folders.push_back(*rules.uploadTo);
  }
  return folders;
}

void FolderRightsTable::Unset(const std::string& folderPath, FolderRight right) {
  const std::string key = KeyForm(folderPath);
  auto found = rules_.find(key);
  if (found == rules_.end()) return;
  found->second.rights[Index(right)].reset();
  if (!found->second.Any()) Erase(key);
}

std::optional<RightHolders> FolderRightsTable::Own(const std::string& folderPath,
                                                   FolderRight right) const {
  auto found = rules_.find(KeyForm(folderPath));
  if (found == rules_.end()) return std::nullopt;
  return found->second.rights[Index(right)];
}

RightHolders FolderRightsTable::Effective(const std::string& path, FolderRight right,
                                          std::string* from) const {
  if (from) *from = "/";
  if (rules_.empty()) return DefaultRightHolders(right);
  const std::vector<std::string> segments = MatchSegments(path);
  for (std::size_t depth = segments.size() + 1; depth-- > 0;) {
    // Folders whose names differ only in case or trailing dots share one
    // matching form; a request that could mean any of them must pass all of
    // their rules.
    std::optional<RightHolders> found;
    auto range = byMatch_.equal_range(Join(segments, depth));
    for (auto it = range.first; it != range.second; ++it) {
      const std::optional<RightHolders>& rule = rules_.at(it->second).rights[Index(right)];
      if (!rule) continue;
      if (from && !found) *from = it->second;
      found = found ? RightHolders::Both(*found, *rule) : *rule;
    }
    if (found) return *found;
  }
  return DefaultRightHolders(right);
}

RightHolders DefaultRightHolders(FolderRight right) {
  // Seeing is open, as it was before there were rules; deleting what others
  // sent is for whom the user names.
  if (right == FolderRight::Delete) return RightHolders{RightHolders::Kind::Names, {}};
  return RightHolders{};
}

std::vector<std::string> FolderRightsTable::Folders() const {
  std::vector<std::string> folders;
  for (const auto& [key, rules] : rules_) folders.push_back(key);
  return folders;
}

namespace {

// The rest of `key` when it is `folder` itself ("") or lies below it
// ("/sub/..."), judged on the exact spelling.
std::optional<std::string> RestBelow(const std::string& key, const std::string& folder) {
  if (folder == "/") return key == "/" ? "" : key;
  if (key.compare(0, folder.size(), folder) != 0) return std::nullopt;
  if (key.size() == folder.size()) return std::string();
  if (key[folder.size()] != '/') return std::nullopt;
  return key.substr(folder.size());
}

}  // namespace

void FolderRightsTable::RenameFolder(const std::string& fromPath, const std::string& toPath) {
  const std::string from = KeyForm(fromPath);
  const std::string to = KeyForm(toPath);
  if (from == to) return;
  std::vector<std::pair<std::string, Rules>> moved;
  for (const auto& [key, rules] : rules_) {
    std::optional<std::string> rest = RestBelow(key, from);
    if (rest) moved.emplace_back(key, rules);
  }
  for (const auto& [key, rules] : moved) Erase(key);
  for (auto& [key, rules] : moved) {
    const std::string rest = *RestBelow(key, from);
    Insert(to == "/" ? (rest.empty() ? "/" : rest) : to + rest, std::move(rules));
  }
}

void FolderRightsTable::RemoveFolder(const std::string& path) {
  const std::string folder = KeyForm(path);
  std::vector<std::string> dropped;
  for (const auto& [key, rules] : rules_) {
    if (RestBelow(key, folder)) dropped.push_back(key);
  }
  for (const std::string& key : dropped) Erase(key);
}

// A line that cannot be read whole still keeps its folder closed: when its
// path can be read but any of its rules cannot, the folder gets all three
// rights for nobody, since the broken rule may have been the one that closed
// something and leaving it out would open it. The owner then sees the
// problem and fixes the line. A line whose path cannot be read names no
// folder, so it can only be reported.
//
// The upload folder's field is named "upload-to", which a reader from before
// uploads takes for a broken rule: it closes the folder instead of serving it
// with a rule it did not understand.
FolderRightsTable FolderRightsTable::Parse(const std::string& text,
                                           std::vector<std::string>* problems) {
  FolderRightsTable table;
  const auto report = [problems](std::size_t number, const std::string& why) {
    if (problems) problems->push_back("line " + std::to_string(number) + ": " + why);
  };
  std::vector<std::string> lines = SplitOn(text, '\n');
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t number = i + 1;
    std::vector<std::string> fields = SplitOn(line, '\t');
    std::optional<std::string> path = DecodePath(fields[0]);
    if (!path || path->empty() || (*path)[0] != '/') {
      report(number, "no folder path that begins with \"/\"; the line was ignored");
      continue;
    }
    const std::string key = KeyForm(*path);
    std::string broken;
    Rules rules;
    auto existing = table.rules_.find(key);
    if (existing != table.rules_.end()) rules = existing->second;
    for (std::size_t f = 1; f < fields.size() && broken.empty(); ++f) {
      const std::size_t equals = fields[f].find('=');
      if (equals != std::string::npos && fields[f].compare(0, equals, kUploadToField) == 0) {
        std::optional<std::string> folder = DecodePath(fields[f].substr(equals + 1));
        if (!folder || folder->empty()) {
          broken = "\"" + fields[f] + "\" names no real folder";
          break;
        }
        if (rules.uploadTo && *rules.uploadTo != *folder) {
          broken = "two upload folders are given for " + key;
          break;
        }
        rules.uploadTo = std::move(*folder);
        continue;
      }
      std::optional<FolderRight> right = equals == std::string::npos
                                             ? std::nullopt
                                             : ParseFolderRight(fields[f].substr(0, equals));
      if (!right) {
        broken = "\"" + fields[f] + "\" is not <see|upload|delete>=<holders>";
        break;
      }
      std::string why;
      std::optional<RightHolders> holders = RightHolders::Parse(fields[f].substr(equals + 1), &why);
      if (!holders) {
        broken = why;
        break;
      }
      std::optional<RightHolders>& slot = rules.rights[Index(*right)];
      if (slot) {
        // Given twice: both rules hold.
        report(number, std::string(FolderRightName(*right)) + " is given twice for " + key);
        slot = RightHolders::Both(*slot, *holders);
      } else {
        slot = std::move(*holders);
      }
    }
    if (!broken.empty()) {
      report(number, broken + "; " + key + " is closed to everyone until the line is fixed");
      for (std::optional<RightHolders>& slot : rules.rights) {
        slot = RightHolders{RightHolders::Kind::Names, {}};
      }
      rules.uploadTo.reset();
    }
    if (rules.Any()) table.Insert(key, std::move(rules));
  }
  return table;
}

std::string FolderRightsTable::Serialize() const {
  std::string text = std::string(kRightsFileHeader) + "\n";
  for (const auto& [key, rules] : rules_) {
    text += EncodePath(key);
    for (FolderRight right : kFolderRights) {
      const std::optional<RightHolders>& holders = rules.rights[Index(right)];
      if (holders) text += std::string("\t") + FolderRightName(right) + "=" + holders->Text();
    }
    if (rules.uploadTo)
      text += std::string("\t") + kUploadToField + "=" + EncodePath(*rules.uploadTo);
    text += "\n";
  }
  return text;
}

bool FolderRightsTable::Load(const std::string& filePath, std::vector<std::string>* problems) {
  if (!IsFile(filePath)) {
    if (IsFolder(filePath)) {
      if (problems) problems->push_back(filePath + " is a folder");
      return false;
    }
    *this = FolderRightsTable{};
    return true;
  }
  std::FILE* stream = OpenFile(filePath, "rb");
  if (!stream) {
    if (problems) problems->push_back("cannot read " + filePath);
    return false;
  }
  std::string data;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) data.append(buffer, got);
  const bool failed = std::ferror(stream) != 0;
  std::fclose(stream);
  if (failed) {
    if (problems) problems->push_back("cannot read " + filePath);
    return false;
  }
  *this = Parse(data, problems);
  return true;
}

bool FolderRightsTable::Save(const std::string& filePath, std::string* error) const {
  if (empty()) {
    if (!IsFile(filePath) || RemoveFile(filePath)) return true;
    if (error) *error = "cannot remove " + filePath;
    return false;
  }
  const std::string data = Serialize();
  const std::string temporary = filePath + ".tmp";
  std::FILE* stream = OpenFile(temporary, "wb");
  if (!stream) {
    if (error) *error = "cannot write " + temporary;
    return false;
  }
  bool ok = std::fwrite(data.data(), 1, data.size(), stream) == data.size();
  ok = std::fclose(stream) == 0 && ok;
  if (!ok || !RenameFile(temporary, filePath)) {
    RemoveFile(temporary);
    if (error) *error = "cannot write " + filePath;
    return false;
  }
  return true;
}
