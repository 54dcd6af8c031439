#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Tells when files in watched folders may have changed, so that what was
// learnt of a file can be trusted without asking the disk again on every
// request. The system reports changes on a descriptor that the connection
// pool polls along with its sockets and reads before it serves what the same
// wait brought: a request sent after a file changed finds the change taken
// in. Where there is no such report (Windows here), or while no pool polls
// it, nothing is ever trusted and every look goes to the disk.
class FolderWatch {
 public:
  // A watched folder; Live() turns false once the folder is removed or moved
  // away, since its path then names another folder or none.
  class Folder {
   public:
    virtual ~Folder() = default;
    virtual bool Live() const = 0;
  };

  // The one watch of the process (of the plugin, which has its own copy),
  // ended at exit or unload. A cache that holds its folders must call this
  // before it is made itself, so that it is ended first.
  static FolderWatch& Shared();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Keeps `folder` watched while the returned handle lives; null when it
  // cannot be watched.
  std::shared_ptr<const Folder> Watch(const std::string& folder);

  // A poller counts itself in with the descriptor to wait on, readable when
  // changes wait to be taken; -1 where there is none. Once the last poller
  // has ended, no descriptor stays open and no folder stays watched.
  int BeginPolling();
  void EndPolling();
  // Takes the waiting changes in, from a poller that saw the descriptor readable.
  void TakeChanges();

  // A mark of what has been taken in: a later Stamp() equal to it means
  // that no change was reported in between. 0 when changes cannot be known
  // now (none polled, or being taken in), which equals no stamp taken.
  uint64_t Stamp() const;

  struct State;

 private:
  FolderWatch();
  State* state_;
};
