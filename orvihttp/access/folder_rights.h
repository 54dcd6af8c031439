#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// Rights on virtual folders: who may see a folder's contents, upload into it
// and delete from it. A folder that sets no rule for a right takes the rule of
// its nearest ancestor that does; with no rule up to the root, everyone may
// see and upload and nobody may delete (DefaultRightHolders), so a table
// without rules changes nothing.

enum class FolderRight { See, Upload, Delete };

inline constexpr FolderRight kFolderRights[] = {FolderRight::See, FolderRight::Upload,
                                                FolderRight::Delete};

// "see", "upload", "delete".
const char* FolderRightName(FolderRight right);
std::optional<FolderRight> ParseFolderRight(const std::string& text);

// Who holds one right on one folder.
struct RightHolders {
  enum class Kind { Everyone, Accounts, Names };
  Kind kind = Kind::Everyone;
  // For Names: the accounts, in the order given. Empty means nobody.
  std::vector<std::string> names;

  bool operator==(const RightHolders&) const = default;

  // `account` is the signed-in account, or null when nobody signed in.
  // Account names compare byte for byte.
  bool Admits(const std::string* account) const;
  // "everyone", "accounts", or the names joined by "," ("" for nobody).
  std::string Text() const;
  // Reads what Text() writes ("everyone" and "accounts" in any letter case).
  // Nothing, with the reason in `*why`, for an invalid or repeated name.
  static std::optional<RightHolders> Parse(const std::string& text, std::string* why = nullptr);
  // Those both admit: the safe reading where two rules meet.
  static RightHolders Both(const RightHolders& first, const RightHolders& second);
};

// OrviHTTP.rights lives beside OrviHTTP.dir. A default install has none.
inline constexpr char kRightsFileName[] = "OrviHTTP.rights";

// The rules of every folder, keyed by virtual folder path: "/" for the root,
// "/a/b" for a sub-folder.
// Who holds a right that no folder on the way sets: everyone may see and
// upload (into folders marked for it), nobody may delete.
RightHolders DefaultRightHolders(FolderRight right);

class FolderRightsTable {
 public:
  // A key is taken in its plain form (empty segments, "." and ".." resolved,
  // no trailing "/") and otherwise kept as given.
  void Set(const std::string& folderPath, FolderRight right, RightHolders holders);
  void Unset(const std::string& folderPath, FolderRight right);
  // The rule set on that very folder (same spelling), if any.
  std::optional<RightHolders> Own(const std::string& folderPath, FolderRight right) const;

  // The real folder that receives the uploads of that very folder (same
  // plain spelling). A folder's own only: its sub-folders take no uploads
  // unless they are given a real folder too. Nothing clears it.
  void SetUploadTo(const std::string& folderPath, std::optional<std::string> realFolder);
  std::optional<std::string> UploadTo(const std::string& folderPath) const;
  // Every real folder that receives uploads.
  std::vector<std::string> UploadFolders() const;

  // Who holds `right` at any request path, a folder or a file below one: the
  // first rule met from the path itself up to the root. Every spelling that
  // could reach the same folder meets the same rule (see folder_rights.cpp).
  // `from`, when given, receives the folder whose rule applied ("/" when none
  // did).
  RightHolders Effective(const std::string& path, FolderRight right,
                         std::string* from = nullptr) const;

  // No rule at all: the server then skips every check.
  bool empty() const { return rules_.empty(); }
  // Folders with at least one rule, in byte order.
  std::vector<std::string> Folders() const;

  // Keeping the rules with the tree: a renamed folder takes its rules and
  // those of everything below it along; a removed one drops them. The paths
  // are the tree's own spellings. Removing "/" drops every rule.
  void RenameFolder(const std::string& fromPath, const std::string& toPath);
  void RemoveFolder(const std::string& path);

  // The file: a comment line, then per folder "<path>\t<right>=<holders>..."
  // and, for a folder that takes uploads, "\tupload-to=<real folder>" with
  // the path percent-encoded like the folder's.
  // A line that cannot be read is reported in `problems` as "line N: why";
  // see the .cpp for how it still keeps its folder closed.
  static FolderRightsTable Parse(const std::string& text, std::vector<std::string>* problems);
  std::string Serialize() const;

  // Replaces this table with the file's rules; a missing file gives an empty
  // table. False (table unchanged) when the file exists but cannot be read.
  bool Load(const std::string& filePath, std::vector<std::string>* problems);
  // Writes the file in one step (a temporary file put in its place); an
  // empty table removes the file instead.
  bool Save(const std::string& filePath, std::string* error) const;

 private:
  struct Rules {
    std::optional<RightHolders> rights[3];
    std::optional<std::string> uploadTo;
    bool Any() const { return rights[0] || rights[1] || rights[2] || uploadTo; }
  };
  void Insert(const std::string& key, Rules rules);
  void Erase(const std::string& key);

  std::map<std::string, Rules> rules_;
  // Matching form of each key (case folded, trailing dots and spaces gone)
  // -> the keys of that form.
  std::multimap<std::string, std::string> byMatch_;
};
