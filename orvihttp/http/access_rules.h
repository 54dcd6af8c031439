#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/file_system.h"

class Server;

// The accounts and folder rights kept in a folder (OrviHTTP.users and
// OrviHTTP.rights, beside the ini and the dir file), for one server.
class AccessRulesFiles {
 public:
  explicit AccessRulesFiles(std::string folder);

  // Puts what the files say in force for `server`. What cannot be read is
  // reported as a server notice. A rights file that exists but cannot be read
  // closes the whole tree, rather than opening folders the user meant to
  // protect. Temporaries of uploads older than a day are removed.
  void Load(Server& server);
  // Loads them again when either file was written, removed or made since the
  // last load: the command-line tools change them under a running server.
  // Once an hour, also removes the temporaries of uploads that turned a day
  // old since, so a server that runs for weeks does not gather them.
  void ReloadIfChanged(Server& server);

 private:
  struct Stamps {
    std::optional<FileStatus> users;
    std::optional<FileStatus> rights;
  };
  Stamps Current() const;

  const std::string usersPath_;
  const std::string rightsPath_;
  Stamps loaded_;
  int64_t lastSweepMs_ = 0;
};

// The same once: for a server that does not watch the files, and for the
// windows that just wrote them. Uploads may be under way, so only their
// day-old temporaries go (see RemoveLeftoverUploads for the start).
void LoadAccessRules(Server& server, const std::string& folder);
