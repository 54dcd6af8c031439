// A form body read whole and read in small pieces must give the same parts
// and the same content, and never more bytes than came; the name check and
// the numbering of taken names run on the same input, and so do the reading
// of a chunked body and of a resumed upload's Content-Range.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "orvihttp/http/chunked_body.h"
#include "orvihttp/http/content_range.h"
#include "orvihttp/http/multipart_reader.h"
#include "orvihttp/http/upload_names.h"

namespace {

class Recorder : public MultipartSink {
 public:
  bool BeginPart(const MultipartPartHead& head) override {
    if (open_) std::abort();  // a part begins only after the last one ended
    open_ = true;
    trace_ += "[" + head.fieldName + "|" + head.fileName + (head.isFile ? "|f]" : "|v]");
    return true;
  }
  bool PartData(const char* data, std::size_t size) override {
    if (!open_ || size == 0) std::abort();
    trace_.append(data, size);
    bytes_ += size;
    return true;
  }
  bool EndPart() override {
    if (!open_) std::abort();
    open_ = false;
    trace_ += "[end]";
    return true;
  }
  std::string trace_;
  std::size_t bytes_ = 0;
  bool open_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  if (std::optional<std::string> boundary = FormDataBoundary(input)) {
    if (boundary->empty() || boundary->size() > 70) std::abort();
  }

  // The first line is the boundary, the rest the body.
  const std::size_t newline = input.find('\n');
  const std::string boundary = input.substr(0, newline == std::string::npos ? 0 : newline);
  const std::string body = newline == std::string::npos ? input : input.substr(newline + 1);
  if (!boundary.empty()) {
    Recorder whole;
    MultipartReader wholeReader(boundary, whole);
    wholeReader.Feed(body.data(), body.size());
    Recorder pieces;
    MultipartReader pieceReader(boundary, pieces);
    std::size_t step = 1 + body.size() % 7;
    for (std::size_t at = 0; at < body.size(); at += step, step = step % 5 + 1) {
      pieceReader.Feed(body.data() + at, std::min(step, body.size() - at));
    }
    if (whole.bytes_ > body.size()) std::abort();
    if (wholeReader.Finished() != pieceReader.Finished()) std::abort();
    if (wholeReader.Failed() != pieceReader.Failed()) std::abort();
    if (whole.trace_ != pieces.trace_) std::abort();
  }

  // A chunked body never yields more than came, nor anything after its end.
  {
    std::size_t at = 0;
    ChunkedBody chunked([&](char* buffer, std::size_t length) {
      const std::size_t take = std::min({length, input.size() - at, std::size_t{3}});
      std::copy(input.data() + at, input.data() + at + take, buffer);
      at += take;
      return take;
    });
    char piece[5];
    std::size_t yielded = 0;
    while (std::size_t got = chunked.Read(piece, sizeof piece)) yielded += got;
    if (yielded > input.size()) std::abort();
    if (chunked.Ended() && chunked.Read(piece, sizeof piece) != 0) std::abort();
  }

  // An accepted name never holds what the disk would take as a path.
  if (!WhyNotAnUploadName(input)) {
    if (input.empty() || input.size() > 255 || input == "." || input == "..") std::abort();
    for (char c : input) {
      if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) std::abort();
    }
    if (input.back() == '.' || input.back() == ' ') std::abort();
    // A taken name's numbered form is itself a name an upload may take.
    for (int number : {3, 9999}) {
      const std::string numbered = NumberedName(input, number);
      if (numbered.find(" (" + std::to_string(number) + ")") == std::string::npos) std::abort();
      if (WhyNotAnUploadName(numbered)) std::abort();
    }
  }

  // A span read from a Content-Range lies inside its total.
  if (std::optional<ContentRange> range = ParseContentRange(input)) {
    if (!range->query && (range->first > range->last || range->last >= range->total)) {
      std::abort();
    }
  }
  return 0;
}
