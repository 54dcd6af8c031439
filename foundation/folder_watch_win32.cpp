#include "foundation/folder_watch.h"

// No pool polls a change report on Windows: every look goes to the disk.
struct FolderWatch::State {};

FolderWatch::FolderWatch() : state_(new State()) {}

FolderWatch::~FolderWatch() {
  delete state_;
}

FolderWatch& FolderWatch::Shared() {
  static FolderWatch watch;
  return watch;
}

std::shared_ptr<const FolderWatch::Folder> FolderWatch::Watch(const std::string&) {
  return nullptr;
}

int FolderWatch::BeginPolling() {
  return -1;
}

void FolderWatch::EndPolling() {}

void FolderWatch::TakeChanges() {}

uint64_t FolderWatch::Stamp() const {
  return 0;
}
