#include "orvihttp/content/directory_listing.h"

#include <gtest/gtest.h>

#include <map>

#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/virtual_directory.h"

namespace {

constexpr int64_t kNow = 1700000000;  // Tue, 14 Nov 2023 22:13:20 GMT
const std::string kNowText = "Tue, 14 Nov 2023 22:13:20 GMT";
const std::string kHead =
    "</h2><p></p><table border=0 width=100% bgcolor=#f2fff8><tr bgcolor=#ccffdd><td><b>Name</b>"
    "</td><td><b>Size</b></td><td><b>Date</b></td></tr>";

std::string Footer(int port) {
  return "</table><hr><i>Orvi HTTP Server " ORVI_VERSION_TEXT " at port " + std::to_string(port) +
         ".</body>";
}

std::string Row(const std::string& link, const std::string& text, const std::string& size,
                const std::string& time) {
  return "<tr><td><a href=\"" + link + "\">" + text + "</a></td><td>" + size + "</td><td>" + time +
         "</td></tr>";
}

// Real files as the lookup sees them; anything else is missing.
class ListingTest : public ::testing::Test {
 protected:
  std::string Page(const std::string& path, const VirtualFolder& folder, int port = 80) {
    return BuildDirectoryListingPage(path, folder, port, kNow, [this](const std::string& realPath) {
      auto found = files_.find(realPath);
      return found == files_.end() ? std::optional<FileStatus>()
                                   : std::optional<FileStatus>(found->second);
    });
  }

  std::map<std::string, FileStatus> files_;
};

}  // namespace

TEST_F(ListingTest, RootListing) {
  VirtualFolder root;
  root.AddFolder("docs");
  root.AddFile("a.html", "/srv/a.html");
  files_["/srv/a.html"] = FileStatus{10, 1600000000};
  EXPECT_EQ(Page("", root, 8080),
            "<html><body><h2>Index of /</h2><p></p><table border=0 width=100% bgcolor=#f2fff8>"
            "<tr bgcolor=#ccffdd><td><b>Name</b></td><td><b>Size</b></td><td><b>Date</b></td>"
            "</tr><tr><td><a href=\"/a.html\">a.html</a></td><td>10</td><td>Sun, 13 Sep 2020 "
            "12:26:40 GMT</td></tr><tr><td><a href=\"/docs/\">docs/</a></td><td>0</td><td>Tue, "
            "14 Nov 2023 22:13:20 GMT</td></tr></table><hr><i>Orvi HTTP Server " ORVI_VERSION_TEXT
            " at port "
            "8080.</body>");
}

TEST_F(ListingTest, SubFolderWithParentRowAndSortedRows) {
  VirtualFolder docs;
  docs.name = "docs";
  docs.AddFolder("img");
  docs.AddFile("a.html", "/srv/a.html");
  files_["/srv/a.html"] = FileStatus{1234, 0};
  EXPECT_EQ(Page("/docs", docs),
            "<html><body><h2>Index of /docs" + kHead + Row("/", "..", "0", kNowText) +
                Row("/docs/a.html", "a.html", "1234", "Thu, 01 Jan 1970 00:00:00 GMT") +
                Row("/docs/img/", "img/", "0", kNowText) + Footer(80));
}

TEST_F(ListingTest, ParentOfANestedFolder) {
  VirtualFolder empty;
  EXPECT_EQ(Page("/a/b", empty),
            "<html><body><h2>Index of /a/b" + kHead + Row("/a/", "..", "0", kNowText) + Footer(80));
  // An empty folder: head, parent row and footer only.
  EXPECT_EQ(Page("/a", empty),
            "<html><body><h2>Index of /a" + kHead + Row("/", "..", "0", kNowText) + Footer(80));
  EXPECT_EQ(Page("", empty), "<html><body><h2>Index of /" + kHead + Footer(80));
}

TEST_F(ListingTest, UpperCaseSortsBeforeLowerCaseAndPrefixesFirst) {
  VirtualFolder root;
  root.AddFile("a.txt", "/x/a");
  root.AddFile("B.txt", "/x/B");
  root.AddFolder("ab");
  root.AddFile("a", "/x/short");
  EXPECT_EQ(Page("", root),
            "<html><body><h2>Index of /" + kHead + Row("/B.txt", "B.txt", "0", kNowText) +
                Row("/a", "a", "0", kNowText) + Row("/a.txt", "a.txt", "0", kNowText) +
                Row("/ab/", "ab/", "0", kNowText) + Footer(80));
}

TEST_F(ListingTest, FolderAndFileSharingANameGiveTwoFileRows) {
  VirtualFolder root;
  root.AddFolder("x");
  root.AddFile("x", "/srv/x");
  files_["/srv/x"] = FileStatus{5, kNow};
  const std::string row = Row("/x", "x", "5", kNowText);
  EXPECT_EQ(Page("", root), "<html><body><h2>Index of /" + kHead + row + row + Footer(80));
}

TEST_F(ListingTest, LargeFilesShowTheirTrueSize) {
  VirtualFolder root;
  root.AddFile("big.iso", "/srv/big.iso");
  files_["/srv/big.iso"] = FileStatus{5000000000ull, kNow};
  EXPECT_NE(Page("", root).find(Row("/big.iso", "big.iso", "5000000000", kNowText)),
            std::string::npos);
}

TEST_F(ListingTest, FooterCarriesThePort) {
  VirtualFolder root;
  const std::string page = Page("", root, 8080);
  EXPECT_EQ(page.substr(page.size() - Footer(8080).size()), Footer(8080));
  EXPECT_NE(Page("", root, 1).find(" at port 1.</body>"), std::string::npos);
}

TEST_F(ListingTest, NamesAreEscapedInTextAndEncodedInLinks) {
  VirtualFolder folder;
  folder.AddFile("a b#c?d%e&f.txt", "/r/1");
  folder.AddFile("<script>alert(1)</script>", "/r/2");
  folder.AddFile("caf\xE9.txt", "/r/3");
  folder.AddFile("x\"y'z+.txt", "/r/4");
  folder.AddFolder("new folder");
  const std::string page = Page("/my docs", folder);
  EXPECT_NE(
      page.find(Row("/my%20docs/a%20b%23c%3Fd%25e%26f.txt", "a b#c?d%e&amp;f.txt", "0", kNowText)),
      std::string::npos);
  EXPECT_NE(page.find(Row("/my%20docs/%3Cscript%3Ealert%281%29%3C%2Fscript%3E",
                          "&lt;script&gt;alert(1)&lt;/script&gt;", "0", kNowText)),
            std::string::npos);
  EXPECT_NE(page.find(Row("/my%20docs/caf%C3%A9.txt", "caf\xE9.txt", "0", kNowText)),
            std::string::npos);
  EXPECT_NE(page.find(Row("/my%20docs/x%22y%27z%2B.txt", "x&quot;y&#39;z+.txt", "0", kNowText)),
            std::string::npos);
  EXPECT_NE(page.find(Row("/my%20docs/new%20folder/", "new folder/", "0", kNowText)),
            std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST_F(ListingTest, HeadingAndParentLinkAreEscapedToo) {
  VirtualFolder empty;
  const std::string page = Page("/<b>&\xE9/sub", empty);
  EXPECT_EQ(page, "<html><body><h2>Index of /&lt;b&gt;&amp;\xE9/sub" + kHead +
                      Row("/%3Cb%3E%26%C3%A9/", "..", "0", kNowText) + Footer(80));
}
