#include "tools/orvihttp_users/users_tool.h"

#include "orvihttp/access/user_accounts.h"
#include "orvihttp/config/product_identity.h"

const char kUsersToolUsage[] =
    "usage: orvihttp-users <OrviHTTP.users> <command> [name]\n"
    "\n"
    "Adds, changes and removes the accounts that may sign in to protected\n"
    "folders. A missing file holds no accounts. The file keeps only password\n"
    "hashes and can be read by the current user alone.\n"
    "\n"
    "commands:\n"
    "  list           the account names, one per line\n"
    "  add <name>     adds an account; its password is read from standard input\n"
    "  passwd <name>  gives an account a new password, read the same way\n"
    "  remove <name>  removes an account\n"
    "\n"
    "A password is one line of standard input; at a terminal it is asked for\n"
    "twice and not shown. It cannot be empty.\n"
    "\n"
    "--version shows the version; --help this text.\n";

namespace {

struct Failure {
  int code;
  std::string message;
};

Failure Usage(const std::string& problem) {
  return {2, "orvihttp-users: " + problem + "\n\n" + kUsersToolUsage};
}

Failure Refused(const std::string& problem) {
  return {1, "orvihttp-users: " + problem + "\n"};
}

// Lines of the file that could not be read are reported; a change then
// writes the file without them.
UserAccounts Load(const std::string& file, bool changing, std::string& err) {
  UserAccounts accounts;
  std::vector<std::string> problems;
  if (!accounts.Load(file, &problems)) {
    throw Refused(problems.empty() ? "cannot read " + file : problems.front());
  }
  for (const std::string& problem : problems) {
    err += "orvihttp-users: warning: " + file + ": " + problem + "\n";
  }
  // A line this version cannot read may be one a person wrote by hand or a
  // later version made; writing the file again would lose it.
  if (changing && !problems.empty()) {
    throw Refused(
        "the file has lines that cannot be read; mend or remove them first (nothing "
        "was changed)");
  }
  return accounts;
}

void Save(const std::string& file, const UserAccounts& accounts) {
  std::string error;
  if (!accounts.Save(file, &error)) throw Refused(error);
}

std::string ReadPassword(const PasswordReader& readPassword, bool typed, const std::string& name) {
  std::optional<std::string> password = readPassword("Password for " + name + ": ");
  if (!password) throw Refused("no password on standard input");
  if (password->empty()) throw Refused("a password cannot be empty");
  if (typed) {
    std::optional<std::string> again = readPassword("The same password again: ");
    if (!again || *again != *password) throw Refused("the two passwords differ");
  }
  return *password;
}

int Run(const std::vector<std::string>& arguments, const PasswordReader& readPassword, bool typed,
        std::string& out, std::string& err) {
  std::vector<std::string> words;  // file, command, name
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      out += kUsersToolUsage;
      return 0;
    } else if (argument == "--version") {
      out += std::string("orvihttp-users (") + kProductName + ") " ORVI_VERSION_TEXT "\n";
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
    if (words.size() != 2) throw Usage("list takes no name");
    for (const std::string& name : Load(file, false, err).Names()) out += name + "\n";
    return 0;
  }
  if (command != "add" && command != "passwd" && command != "remove") {
    throw Usage("unknown command " + command);
  }
  if (words.size() != 3) throw Usage(command + " takes one account name");
  const std::string& name = words[2];
  UserAccounts accounts = Load(file, true, err);
  std::string why;
  if (command == "add") {
    if (!UserAccounts::IsNewAccountName(name, &why)) throw Refused(why);
    if (accounts.Contains(name)) throw Refused("there is already an account \"" + name + "\"");
    if (!accounts.Add(name, ReadPassword(readPassword, typed, name), &why)) throw Refused(why);
  } else if (command == "passwd") {
    if (!accounts.Contains(name)) throw Refused("there is no account \"" + name + "\"");
    if (!accounts.SetPassword(name, ReadPassword(readPassword, typed, name), &why)) {
      throw Refused(why);
    }
  } else if (!accounts.Remove(name)) {
    throw Refused("there is no account \"" + name + "\"");
  }
  Save(file, accounts);
  return 0;
}

}  // namespace

int RunUsersTool(const std::vector<std::string>& arguments, const PasswordReader& readPassword,
                 bool typed, std::string& out, std::string& err) {
  try {
    return Run(arguments, readPassword, typed, out, err);
  } catch (const Failure& failure) {
    err += failure.message;
    return failure.code;
  }
}
