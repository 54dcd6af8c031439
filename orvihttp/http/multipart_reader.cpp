#include "orvihttp/http/multipart_reader.h"

#include <algorithm>

#include "foundation/text_basics.h"

namespace {

std::string Trim(const std::string& text) {
  std::size_t start = 0;
  std::size_t end = text.size();
  while (start < end && (text[start] == ' ' || text[start] == '\t')) ++start;
  while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(start, end - start);
}

// The value of `name=` among the ";"-separated parameters of a header value,
// quoted or not; nothing when absent. A quoted value keeps what a backslash
// escapes.
std::optional<std::string> Parameter(const std::string& value, const std::string& name) {
  std::size_t i = value.find(';');
  while (i != std::string::npos && i < value.size()) {
    ++i;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    const std::size_t equals = value.find('=', i);
    if (equals == std::string::npos) return std::nullopt;
    const std::string key = AsciiLowerCase(Trim(value.substr(i, equals - i)));
    std::size_t j = equals + 1;
    while (j < value.size() && (value[j] == ' ' || value[j] == '\t')) ++j;
    std::string text;
    if (j < value.size() && value[j] == '"') {
      ++j;
      while (j < value.size() && value[j] != '"') {
        if (value[j] == '\\' && j + 1 < value.size()) ++j;
        text += value[j++];
      }
      if (j >= value.size()) return std::nullopt;  // no closing quote
      ++j;
      i = value.find(';', j);
    } else {
      const std::size_t end = value.find(';', j);
      text = Trim(value.substr(j, end == std::string::npos ? std::string::npos : end - j));
      i = end;
    }
    if (key == name) return text;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FormDataBoundary(const std::string& contentType) {
  const std::size_t semicolon = contentType.find(';');
  if (AsciiLowerCase(Trim(contentType.substr(0, semicolon))) != "multipart/form-data") {
    return std::nullopt;
  }
  std::optional<std::string> boundary = Parameter(contentType, "boundary");
  if (!boundary || boundary->empty() || boundary->size() > 70) return std::nullopt;
  return boundary;
}

MultipartReader::MultipartReader(const std::string& boundary, MultipartSink& sink)
    : sink_(sink), delimiter_("\r\n--" + boundary), pending_("\r\n") {}

bool MultipartReader::Feed(const char* data, std::size_t size) {
  if (state_ == State::Failed) return false;
  if (state_ == State::Done) return true;
  pending_.append(data, size);
  while (Step()) {
  }
  return state_ != State::Failed;
}

// One step on what is pending; false when it needs more bytes or is done.
bool MultipartReader::Step() {
  switch (state_) {
    case State::Preamble: {
      const std::size_t found = pending_.find(delimiter_);
      if (found == std::string::npos) {
        // Keep only what could still begin the delimiter.
        if (pending_.size() >= delimiter_.size()) {
          pending_.erase(0, pending_.size() - (delimiter_.size() - 1));
        }
        return false;
      }
      pending_.erase(0, found + delimiter_.size());
      state_ = State::AfterBoundary;
      return true;
    }
    case State::AfterBoundary: {
      if (pending_.size() < 2) return false;
      if (pending_.compare(0, 2, "--") == 0) {
        // What follows the closing boundary is dropped.
        pending_.clear();
        state_ = State::Done;
        return false;
      }
      // Spaces may follow a boundary before its line ends.
      std::size_t i = 0;
      while (i < pending_.size() && (pending_[i] == ' ' || pending_[i] == '\t')) ++i;
      if (i + 2 > pending_.size()) {
        if (pending_.size() > 256) state_ = State::Failed;
        return false;
      }
      if (pending_.compare(i, 2, "\r\n") != 0) {
        state_ = State::Failed;
        return false;
      }
      pending_.erase(0, i + 2);
      state_ = State::Head;
      return true;
    }
    case State::Head: {
      const std::size_t end = pending_.find("\r\n\r\n");
      const bool emptyHead = pending_.compare(0, 2, "\r\n") == 0;
      if (end == std::string::npos && !emptyHead) {
        if (pending_.size() > kMaxPartHead) state_ = State::Failed;
        return false;
      }
      const std::size_t headEnd = emptyHead ? 0 : end;
      if (headEnd > kMaxPartHead || !ParseHead(pending_.substr(0, headEnd))) {
        state_ = State::Failed;
        return false;
      }
      pending_.erase(0, emptyHead ? 2 : end + 4);
      // The content begins right away: the delimiter is searched from here.
      state_ = State::Content;
      return true;
    }
    case State::Content: {
      const std::size_t found = pending_.find(delimiter_);
      if (found == std::string::npos) {
        // All but what could still begin the delimiter goes to the sink.
        if (pending_.size() >= delimiter_.size()) {
          const std::size_t safe = pending_.size() - (delimiter_.size() - 1);
          if (!sink_.PartData(pending_.data(), safe)) {
            state_ = State::Failed;
            return false;
          }
          pending_.erase(0, safe);
        }
        return false;
      }
      if ((found > 0 && !sink_.PartData(pending_.data(), found)) || !sink_.EndPart()) {
        state_ = State::Failed;
        return false;
      }
      pending_.erase(0, found + delimiter_.size());
      state_ = State::AfterBoundary;
      return true;
    }
    case State::Done:
    case State::Failed:
      return false;
  }
  return false;
}

bool MultipartReader::ParseHead(const std::string& head) {
  MultipartPartHead part;
  bool disposition = false;
  std::size_t start = 0;
  while (start <= head.size()) {
    std::size_t end = head.find("\r\n", start);
    if (end == std::string::npos) end = head.size();
    const std::string line = head.substr(start, end - start);
    start = end + 2;
    if (line.empty()) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) return false;
    if (AsciiLowerCase(Trim(line.substr(0, colon))) != "content-disposition") continue;
    const std::string value = line.substr(colon + 1);
    const std::size_t semicolon = value.find(';');
    if (AsciiLowerCase(Trim(value.substr(0, semicolon))) != "form-data") return false;
    disposition = true;
    part.fieldName = Parameter(value, "name").value_or("");
    if (std::optional<std::string> fileName = Parameter(value, "filename")) {
      part.isFile = true;
      part.fileName = std::move(*fileName);
    }
  }
  return disposition && sink_.BeginPart(part);
}
