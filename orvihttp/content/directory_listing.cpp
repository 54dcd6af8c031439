#include "orvihttp/content/directory_listing.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/content/sign_in_page.h"
#include "orvihttp/content/url_escaping.h"
#include "orvihttp/content/virtual_directory.h"

namespace {

constexpr char kTableHead[] =
    "<table border=0 width=100% bgcolor=#f2fff8><tr bgcolor=#ccffdd><td><b>Name</b>"
    "</td><td><b>Size</b></td><td><b>Date</b></td></tr>";

void AppendRow(std::string& page, const std::string& link, const std::string& text,
               const std::string& size, const std::string& time) {
  page += "<tr><td><a href=\"";
  page += link;
  page += "\">";
  page += text;
  page += "</a></td><td>";
  page += size;
  page += "</td><td>";
  page += time;
  page += "</td></tr>";
}

// An account's name (UTF-8) in a page sent as ISO-8859-1: markup escaped,
// and every character beyond ASCII as a numeric reference.
std::string HtmlCharacters(const std::string& utf8) {
  std::string text;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      text += EscapeHtml(std::string(1, utf8[i]));
      ++i;
      continue;
    }
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    uint32_t code = lead & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    text += "&#" + std::to_string(code) + ";";
    i += extra + 1;
  }
  return text;
}

// A form that posts files into the folder at `action`. It works without
// script; with it, the page shows a progress bar and a cancel button, takes
// files dropped onto it, and lists the new files when they are in.
std::string UploadForm(const std::string& action) {
  return "<form id=\"upload\" method=\"post\" enctype=\"multipart/form-data\" action=\"" + action +
         "\"><input type=\"file\" name=\"file\" multiple required> "
         "<input type=\"submit\" value=\"Upload\"> "
         "<progress id=\"upload-progress\" max=\"1\" value=\"0\" hidden></progress> "
         "<button type=\"button\" id=\"upload-cancel\" hidden>Cancel</button> "
         "<span id=\"upload-status\"></span> <small>or drop files on this page</small></form>\n"
         "<script>\n"
         "(function(){\n"
         "var "
         "form=document.getElementById('upload'),bar=document.getElementById('upload-progress'),\n"
         "cancel=document.getElementById('upload-cancel'),status=document.getElementById('upload-"
         "status'),\n"
         "input=form.querySelector('input[type=file]'),request=null;\n"
         "function send(files){\n"
         "if(!files.length||request)return;\n"
         "var data=new FormData();for(var i=0;i<files.length;i++)data.append('file',files[i]);\n"
         "request=new XMLHttpRequest();request.open('POST',form.action);\n"
         "bar.hidden=false;cancel.hidden=false;bar.value=0;status.textContent='Uploading...';\n"
         "request.upload.onprogress=function(e){if(e.lengthComputable)bar.value=e.loaded/"
         "e.total;};\n"
         "request.onload=function(){var ok=request.status==201;request=null;\n"
         "if(ok){location.reload();return;}\n"
         "cancel.hidden=true;status.textContent=this.responseText||('Failed: '+this.status);};\n"
         "request.onerror=function(){request=null;cancel.hidden=true;status.textContent='The "
         "upload broke off.';};\n"
         "request.onabort=function(){request=null;bar.hidden=true;cancel.hidden=true;status."
         "textContent='Cancelled.';};\n"
         "request.send(data);}\n"
         "form.onsubmit=function(e){e.preventDefault();send(input.files);};\n"
         "cancel.onclick=function(){if(request)request.abort();};\n"
         "document.addEventListener('dragover',function(e){e.preventDefault();});\n"
         "document.addEventListener('drop',function(e){e.preventDefault();send(e.dataTransfer."
         "files);});\n"
         "})();\n"
         "</script>\n";
}

// Beside each file of a folder the client may delete in. Deleting needs
// the DELETE method, which only a script can send; without script the
// buttons do nothing.
constexpr char kDeleteButton[] =
    "<td><button type=\"button\" class=\"delete\">Delete</button></td>";
constexpr char kDeleteScript[] =
    "<script>\n"
    "document.querySelectorAll('button.delete').forEach(function(button){\n"
    "button.onclick=function(){var link=button.closest('tr').querySelector('a');\n"
    "if(!confirm('Delete '+link.textContent+'?'))return;\n"
    "fetch(link.href,{method:'DELETE'}).then(function(r){\n"
    "if(r.status==204){location.reload();return;}\n"
    "r.text().then(function(t){alert(t||('Failed: '+r.status));});\n"
    "},function(){alert('The server could not be reached.');});};});\n"
    "</script>\n";

}  // namespace

std::string BuildDirectoryListingPage(const std::string& path, const VirtualFolder& folder,
                                      int port, int64_t now, const FileStatusLookup& statusOf,
                                      const std::string& signedInAs, const ListingOffers& offers) {
  const std::string nowText = FormatHttpDate(now);
  std::string page = "<html><body><h2>Index of ";
  page += EscapeHtml(path.empty() ? std::string("/") : path);
  page += "</h2><p>";
  if (offers.archive) {
    // A query, so the link can never be taken for a file of the folder.
    page += "<a href=\"" + EncodeUrlPath(path, true) + "/?zip\">Download all as .zip</a>";
  }
  page += "</p>";
  page += kTableHead;
  if (offers.uploadForm) {
    // The table head ended the heading; the form goes before the table.
    const std::size_t table = page.rfind("<table");
    page.insert(table, UploadForm(EncodeUrlPath(path, true) + "/"));
  }

  if (!path.empty()) {
    const std::size_t lastSlash = path.rfind('/');
    const std::string parent =
        lastSlash != std::string::npos && lastSlash >= 2 ? path.substr(0, lastSlash + 1) : "/";
    AppendRow(page, EncodeUrlPath(parent, true), "..", "0", nowText);
  }

  std::vector<std::string> names;
  names.reserve(folder.subfolders.size() + folder.files.size());
  for (const VirtualFolder& sub : folder.subfolders) names.push_back(sub.name);
  for (const VirtualFile& file : folder.files) names.push_back(file.name);
  // Ascending byte order; std::string compares bytes as unsigned.
  std::sort(names.begin(), names.end());

  const std::string linkBase = EncodeUrlPath(path, true) + "/";
  for (const std::string& name : names) {
    const VirtualFile* file = folder.FindFile(name);
    const std::string suffix = file ? "" : "/";
    std::string size = "0";
    std::string time = nowText;
    if (file && statusOf) {
      if (std::optional<FileStatus> status = statusOf(file->realPath)) {
        size = std::to_string(status->size);
        time = FormatHttpDate(status->lastWrite.seconds);
      }
    }
    AppendRow(page, linkBase + EncodeUrlPath(name, false) + suffix, EscapeHtml(name) + suffix, size,
              time);
    if (file && offers.deleteButtons) page.insert(page.size() - 5, kDeleteButton);
  }

  page += "</table>";
  if (offers.deleteButtons) page += kDeleteScript;
  if (!signedInAs.empty()) {
    page += "<p>Signed in as " + HtmlCharacters(signedInAs) + ". <a href=\"";
    page += kSignOutLink;
    page += "\">Sign out</a></p>";
  }
  page += "<hr><i>";
  page += kServerBanner;
  page += " at port ";
  page += std::to_string(port);
  page += ".</body>";
  return page;
}

Response DirectoryListing(const VirtualDirectory& directory, const std::string& path, int port,
                          const ListingViewer& viewer, bool offerArchive) {
  std::optional<VirtualFolder> folder = directory.ResolveFolder(path);
  if (!folder) return ErrorPage(404, port);
  if (viewer.mayShow) {
    const std::string base = path.empty() || path[0] == '/' ? path : "/" + path;
    std::erase_if(folder->subfolders,
                  [&](const VirtualFolder& sub) { return !viewer.mayShow(base + "/" + sub.name); });
  }
  Response response;
  response.activity = "directory listing";
  response.contentType = "text/html";
  const std::string folderPath = path.empty() ? "/" : path;
  ListingOffers offers;
  offers.archive = offerArchive;
  offers.uploadForm = viewer.mayUploadInto && viewer.mayUploadInto(folderPath);
  offers.deleteButtons = viewer.mayDeleteIn && viewer.mayDeleteIn(folderPath);
  response.body =
      BuildDirectoryListingPage(path, *folder, port, static_cast<int64_t>(std::time(nullptr)),
                                QueryFileStatus, viewer.signedInAs, offers);
  return response;
}
