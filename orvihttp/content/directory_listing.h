#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "foundation/file_system.h"
#include "orvihttp/content/response.h"

struct VirtualFolder;
class VirtualDirectory;

// The generated page of a folder that has no index file served: its
// sub-folders and files sorted by name, with sizes and dates.

// How a row learns its real file's size and time; the file system in the
// server, a table in tests.
using FileStatusLookup = std::function<std::optional<FileStatus>(const std::string& realPath)>;

// The whole page for the folder `path` names ("" = the root, otherwise
// beginning with "/" and without a trailing "/"), given a copy of that
// folder. `now` (seconds since 1970) stands for folders and missing files;
// `port` goes into the footer. Names are HTML-escaped in the text and
// percent-encoded in the links, so every name links to itself and none can
// add markup. A non-empty `signedInAs` adds the sign-out line.
struct ListingOffers {
  bool archive = false;        // a link to the folder as one .zip above the table
  bool uploadForm = false;     // a form that sends files into the folder
  bool deleteButtons = false;  // a button that deletes it beside every file
};
std::string BuildDirectoryListingPage(const std::string& path, const VirtualFolder& folder,
                                      int port, int64_t now, const FileStatusLookup& statusOf,
                                      const std::string& signedInAs = "",
                                      const ListingOffers& offers = {});

// Who a listing is for, while access rules are in force: whether it may
// name the sub-folder at a path ("/a/b"), so a client does not learn the
// names of folders it may not see, and the account signed in through the
// sign-in page, which gets a line with a sign-out link.
struct ListingViewer {
  std::function<bool(const std::string& folderPath)> mayShow;
  std::string signedInAs;
  // Whether the client may upload into the listed folder ("/" for the root)
  // and delete its uploaded files: then the page offers a form and buttons.
  std::function<bool(const std::string& folderPath)> mayUploadInto;
  std::function<bool(const std::string& folderPath)> mayDeleteIn;
};

// The answer to a request for the folder `path` names: its listing, or 404
// when there is no such folder; both name the configured `port`. For the
// default viewer every sub-folder is listed. `offerArchive` as above.
Response DirectoryListing(const VirtualDirectory& directory, const std::string& path, int port,
                          const ListingViewer& viewer = {}, bool offerArchive = false);
