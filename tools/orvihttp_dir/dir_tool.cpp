#include "tools/orvihttp_dir/dir_tool.h"

#include <cstdio>
#include <optional>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "orvihttp/access/account_name.h"
#include "orvihttp/access/folder_rights.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/virtual_directory.h"
#include "tools/orvihttp_dir/latin1_names.h"

const char kDirToolUsage[] =
    "usage: orvihttp-dir [--latin1-names] <OrviHTTP.dir> <command> [arguments]\n"
    "\n"
    "Shows and edits the server's virtual directory file. A missing file is an\n"
    "empty tree; a damaged one is never changed.\n"
    "\n"
    "commands:\n"
    "  list                                  every entry, one per line: folders as\n"
    "                                        /path/, files as /path<TAB>real path\n"
    "  add-file <folder> <real file> [name]  publishes a file (name: the real name)\n"
    "  add-folder <folder> <name>            makes an empty folder\n"
    "  import <folder> <real folder>         adds a real folder's contents, its\n"
    "                                        sub-folders as folders\n"
    "  remove <path>                         removes a folder (with everything in\n"
    "                                        it) or else a file\n"
    "  clear                                 empties the tree\n"
    "  rights <folder>                       who may see, upload and delete there\n"
    "  rights <folder> <right> <holders>     sets one right: see, upload or delete,\n"
    "                                        for everyone, accounts (any signed-in\n"
    "                                        account) or name,name...; inherit\n"
    "                                        takes the parent folder's rule again\n"
    "  upload-to <folder> <real folder|none> where the folder's uploads are written\n"
    "                                        (none: it takes no uploads)\n"
    "\n"
    "--version shows the version; --help this text.\n"
    "\n"
    "Folders and paths are virtual: / is the root, /docs a folder in it.\n"
    "--latin1-names stores UTF-8 names of characters up to U+00FF in Latin-1, as\n"
    "the server decodes URLs (for UTF-8 file systems).\n"
    "\n"
    "Rights live in OrviHTTP.rights beside the file; remove and clear drop the\n"
    "rights of the folders they remove.\n";

namespace {

struct Failure {
  int code;
  std::string message;
};

Failure Usage(const std::string& problem) {
  return {2, "orvihttp-dir: " + problem + "\n\n" + kDirToolUsage};
}

Failure Refused(const std::string& problem) {
  return {1, "orvihttp-dir: " + problem + "\n"};
}

// "/" or "/docs/" -> the form the tree's lookups take ("" or "/docs").
std::optional<std::string> VirtualPath(const std::string& text) {
  if (text.empty() || text[0] != '/') return std::nullopt;
  std::string path = text;
  if (path.back() == '/') path.pop_back();
  return path;
}

VirtualFolder& FolderAt(VirtualFolder& root, const std::string& text) {
  std::optional<std::string> path = VirtualPath(text);
  if (!path) throw Usage("a virtual folder begins with \"/\": " + text);
  VirtualFolder* folder = root.ResolveFolder(*path);
  if (!folder) throw Refused("no such folder: " + text);
  return *folder;
}

void CheckName(const std::string& name) {
  if (name.empty()) throw Refused("a name cannot be empty");
  if (name.find('/') != std::string::npos) {
    throw Refused("a name cannot hold \"/\" (no URL could reach it): " + name);
  }
}

std::string RealName(const std::string& realPath) {
  std::size_t cut = realPath.find_last_of(std::string("/") + kPathSeparator);
  return cut == std::string::npos ? realPath : realPath.substr(cut + 1);
}

void List(const VirtualFolder& folder, const std::string& path, std::string& out) {
  out += path + "/\n";
  for (const VirtualFile& file : folder.files) {
    out += path + "/" + file.name + "\t" + file.realPath + "\n";
  }
  for (const VirtualFolder& sub : folder.subfolders) List(sub, path + "/" + sub.name, out);
}

// Adds what `source` holds by the import rules: an existing folder is reused,
// an existing file keeps its entry.
void Merge(VirtualFolder& target, const VirtualFolder& source) {
  for (const VirtualFile& file : source.files) target.AddFile(file.name, file.realPath);
  for (const VirtualFolder& sub : source.subfolders) {
    target.AddFolder(sub.name);
    Merge(*target.FindFolder(sub.name), sub);
  }
}

VirtualFolder Load(const std::string& file) {
  if (!IsFile(file)) {
    if (IsFolder(file)) throw Refused(file + " is a folder");
    return VirtualFolder{};
  }
  std::FILE* stream = std::fopen(file.c_str(), "rb");
  if (!stream) throw Refused("cannot read " + file);
  std::string data;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) data.append(buffer, got);
  const bool failed = std::ferror(stream) != 0;
  std::fclose(stream);
  if (failed) throw Refused("cannot read " + file);
  std::optional<VirtualFolder> tree =
      ParseTree(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  if (!tree) throw Refused(file + " is not a valid virtual directory file; it was not changed");
  return *tree;
}

// The whole new file is written beside the old one and then put in its
// place, so a failure never leaves a half-written file.
void Save(const std::string& file, const VirtualFolder& root) {
  const std::string data = SerializeTree(root);
  const std::string temporary = file + ".new";
  std::FILE* stream = std::fopen(temporary.c_str(), "wb");
  if (!stream) throw Refused("cannot write " + temporary);
  bool ok = std::fwrite(data.data(), 1, data.size(), stream) == data.size();
  ok = std::fclose(stream) == 0 && ok;
  if (!ok || !RenameFile(temporary, file)) {
    RemoveFile(temporary);
    throw Refused("cannot write " + file);
  }
}

// OrviHTTP.rights in the folder of the dir file.
std::string RightsFileBeside(const std::string& dirFile) {
  const std::size_t cut = dirFile.find_last_of(std::string("/") + kPathSeparator);
  return (cut == std::string::npos ? std::string() : dirFile.substr(0, cut + 1)) + kRightsFileName;
}

// A rights file with lines that cannot be read is never rewritten: saving
// would replace the owner's broken rule with what was made of it.
FolderRightsTable LoadRightsToChange(const std::string& file) {
  FolderRightsTable table;
  std::vector<std::string> problems;
  const bool read = table.Load(file, &problems);
  if (read && problems.empty()) return table;
  std::string message;
  for (const std::string& problem : problems) {
    message += "orvihttp-dir: " + file + (read ? " " : ": ") + problem + "\n";
  }
  throw Failure{1, message + "orvihttp-dir: fix " + file + " first; nothing was changed\n"};
}

void SaveRights(const std::string& file, const FolderRightsTable& table) {
  std::string error;
  if (!table.Save(file, &error)) throw Refused(error);
}

void ShowRights(const std::string& rightsFile, const std::string& folder, std::string& out,
                std::string& err) {
  FolderRightsTable table;
  std::vector<std::string> problems;
  if (!table.Load(rightsFile, &problems)) throw Refused(problems.front());
  for (const std::string& problem : problems) {
    err += "orvihttp-dir: " + rightsFile + " " + problem + "\n";
  }
  for (FolderRight right : kFolderRights) {
    std::string from;
    const RightHolders holders = table.Effective(folder, right, &from);
    const std::string text = holders.Text();
    out += std::string(FolderRightName(right)) + ": " + (text.empty() ? "no one" : text);
    if (table.Own(folder, right)) {
      out += " (set here)\n";
    } else if (table.Own(from, right)) {
      out += " (inherited from " + from + ")\n";
    } else {
      out += " (not set)\n";
    }
  }
  if (std::optional<std::string> uploadTo = table.UploadTo(folder)) {
    out += "uploads go to: " + *uploadTo + "\n";
  }
}

void Rights(const std::vector<std::string>& words, std::string& out, std::string& err) {
  const std::string& file = words[0];
  if (words.size() == 4) throw Usage("a right needs its holders");
  VirtualFolder root = Load(file);
  FolderAt(root, words[2]);  // the folder must exist in the tree
  const std::string path = *VirtualPath(words[2]);
  const std::string folder = path.empty() ? "/" : path;
  const std::string rightsFile = RightsFileBeside(file);
  if (words.size() == 3) {
    ShowRights(rightsFile, folder, out, err);
    return;
  }
  std::optional<FolderRight> right = ParseFolderRight(words[3]);
  if (!right) throw Usage("a right is see, upload or delete: " + words[3]);
  FolderRightsTable table = LoadRightsToChange(rightsFile);
  if (words[4] == kInheritWord) {
    table.Unset(folder, *right);
  } else {
    std::string why;
    std::optional<RightHolders> holders = RightHolders::Parse(words[4], &why);
    if (!holders) throw Refused(why + ": " + words[4]);
    table.Set(folder, *right, *holders);
  }
  SaveRights(rightsFile, table);
}

// Marks a folder for uploads (or unmarks it). The real folder must exist:
// an upload into a folder that is not there could only fail.
void UploadTo(const std::vector<std::string>& words) {
  const std::string& file = words[0];
  VirtualFolder root = Load(file);
  FolderAt(root, words[2]);
  const std::string path = *VirtualPath(words[2]);
  const std::string folder = path.empty() ? "/" : path;
  const std::string rightsFile = RightsFileBeside(file);
  FolderRightsTable table = LoadRightsToChange(rightsFile);
  if (words[3] == "none") {
    table.SetUploadTo(folder, std::nullopt);
  } else {
    const std::string real = RealPath(words[3]);
    if (real.empty() || !IsFolder(real)) throw Refused("no such folder: " + words[3]);
    table.SetUploadTo(folder, real);
  }
  SaveRights(rightsFile, table);
}

void RequireCount(const std::vector<std::string>& words, std::size_t least, std::size_t most) {
  const std::size_t given = words.size() - 2;
  if (given < least || given > most) throw Usage("wrong number of arguments for " + words[1]);
}

int Run(const std::vector<std::string>& arguments, std::string& out, std::string& err) {
  bool latin1 = false;
  std::vector<std::string> words;  // file, command, its arguments
  for (const std::string& argument : arguments) {
    if (argument == "--latin1-names") {
      latin1 = true;
    } else if (argument == "--help" || argument == "-h") {
      out += kDirToolUsage;
      return 0;
    } else if (argument == "--version") {
      out += std::string("orvihttp-dir (") + kProductName + ") " ORVI_VERSION_TEXT "\n";
      return 0;
    } else if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
      throw Usage("unknown option " + argument);
    } else {
      words.push_back(argument);
    }
  }
  if (words.empty()) throw Usage("no file given");
  if (words.size() < 2) throw Usage("no command given");
  const std::string& file = words[0];
  const std::string& command = words[1];

  if (command == "list") {
    RequireCount(words, 0, 0);
    List(Load(file), "", out);
    return 0;
  }

  if (command == "upload-to") {
    RequireCount(words, 2, 2);
    UploadTo(words);
    return 0;
  }

  if (command == "rights") {
    RequireCount(words, 1, 3);
    Rights(words, out, err);
    return 0;
  }

  // Set when the command removes folders: their rights go with them, and
  // the rights file is rewritten after the tree. Should that second write
  // fail, the rules left behind name folders that no longer exist, which
  // opens nothing.
  std::optional<FolderRightsTable> rights;
  const std::string rightsFile = RightsFileBeside(file);
  VirtualFolder root;
  if (command == "add-file") {
    RequireCount(words, 2, 3);
    root = Load(file);
    VirtualFolder& folder = FolderAt(root, words[2]);
    const std::string realPath = AbsolutePath(words[3]);
    if (!IsFile(realPath)) throw Refused("not a file: " + words[3]);
    std::string entryName = words.size() > 4 ? words[4] : RealName(realPath);
    if (latin1) entryName = Utf8NameToLatin1(entryName);
    CheckName(entryName);
    if (!folder.AddFile(entryName, realPath)) throw Refused("File already exists: " + entryName);
  } else if (command == "add-folder") {
    RequireCount(words, 2, 2);
    root = Load(file);
    VirtualFolder& folder = FolderAt(root, words[2]);
    const std::string folderName = latin1 ? Utf8NameToLatin1(words[3]) : words[3];
    CheckName(folderName);
    if (!folder.AddFolder(folderName)) throw Refused("Directory already exists: " + folderName);
  } else if (command == "import") {
    RequireCount(words, 2, 2);
    root = Load(file);
    VirtualFolder& folder = FolderAt(root, words[2]);
    const std::string realFolder = AbsolutePath(words[3]);
    if (!IsFolder(realFolder)) throw Refused("not a folder: " + words[3]);
    if (latin1) {
      VirtualFolder scratch;
      ImportFolder(scratch, realFolder);
      ConvertNamesToLatin1(scratch);
      Merge(folder, scratch);
    } else {
      ImportFolder(folder, realFolder);
    }
  } else if (command == "remove") {
    RequireCount(words, 1, 1);
    root = Load(file);
    std::optional<std::string> path = VirtualPath(words[2]);
    if (!path) throw Usage("a virtual path begins with \"/\": " + words[2]);
    if (path->empty()) throw Refused("the root cannot be removed (use clear)");
    const std::size_t slash = path->rfind('/');
    VirtualFolder* parent = root.ResolveFolder(path->substr(0, slash));
    const std::string entry = path->substr(slash + 1);
    if (!parent || (!parent->FindFolder(entry) && !parent->FindFile(entry))) {
      throw Refused("no such entry: " + words[2]);
    }
    if (parent->FindFolder(entry)) {
      rights = LoadRightsToChange(rightsFile);
      rights->RemoveFolder(*path);
    }
    parent->RemoveEntry(entry);
  } else if (command == "clear") {
    RequireCount(words, 0, 0);
    Load(file);  // a damaged file is not replaced either
    rights = LoadRightsToChange(rightsFile);
    // The root stays (only emptied), so its own rules stay with it: what its
    // owner closed must not open by clearing.
    for (const std::string& folder : rights->Folders()) {
      if (folder != "/") rights->RemoveFolder(folder);
    }
    root.Clear();
  } else {
    throw Usage("unknown command " + command);
  }
  Save(file, root);
  if (rights) SaveRights(rightsFile, *rights);
  return 0;
}

}  // namespace

int RunDirTool(const std::vector<std::string>& arguments, std::string& out, std::string& err) {
  try {
    return Run(arguments, out, err);
  } catch (const Failure& failure) {
    err += failure.message;
    return failure.code;
  }
}
