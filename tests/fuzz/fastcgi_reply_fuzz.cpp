// A PHP program's reply read whole and read in small pieces must give the
// same page and the same state, and never more page bytes than came.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "orvihttp/content/fastcgi_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  FastCgiReplyReader whole;
  std::string wholePage;
  const FastCgiReplyReader::State wholeState = whole.Feed(bytes, size, &wholePage);

  // The first byte picks the size of the pieces.
  const std::size_t step = size > 0 ? 1 + data[0] % 13 : 1;
  FastCgiReplyReader pieces;
  std::string piecePage;
  FastCgiReplyReader::State pieceState = FastCgiReplyReader::State::More;
  for (std::size_t at = 0; at < size; at += step) {
    pieceState = pieces.Feed(bytes + at, std::min(step, size - at), &piecePage);
  }
  if (size == 0) pieceState = pieces.state();
  if (pieceState != wholeState || piecePage != wholePage) std::abort();
  if (wholePage.size() > size) std::abort();
  return 0;
}
