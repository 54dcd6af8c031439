#include "orvihttp/content/fastcgi_records.h"

#include <algorithm>

namespace {

constexpr uint8_t kVersion = 1;
constexpr uint8_t kBeginRequest = 1;
constexpr uint8_t kEndRequest = 3;
constexpr uint8_t kParams = 4;
constexpr uint8_t kStdin = 5;
constexpr uint8_t kStdout = 6;
constexpr uint8_t kStderr = 7;
constexpr uint8_t kResponder = 1;
constexpr uint16_t kRequestId = 1;
constexpr std::size_t kMaxContent = 0xFFFF;

void AppendHeader(std::string* out, uint8_t type, std::size_t contentLength) {
  const unsigned char header[8] = {kVersion,
                                   type,
                                   kRequestId >> 8,
                                   kRequestId & 0xFF,
                                   static_cast<unsigned char>(contentLength >> 8),
                                   static_cast<unsigned char>(contentLength & 0xFF),
                                   0,
                                   0};
  out->append(reinterpret_cast<const char*>(header), sizeof header);
}

// `content` in records of `type` no longer than the format allows.
void AppendStream(std::string* out, uint8_t type, std::string_view content) {
  while (!content.empty()) {
    const std::size_t piece = std::min(content.size(), kMaxContent);
    AppendHeader(out, type, piece);
    out->append(content.substr(0, piece));
    content.remove_prefix(piece);
  }
  AppendHeader(out, type, 0);
}

void AppendLength(std::string* out, std::size_t length) {
  if (length < 0x80) {
    out->push_back(static_cast<char>(length));
    return;
  }
  out->push_back(static_cast<char>(0x80 | ((length >> 24) & 0x7F)));
  out->push_back(static_cast<char>((length >> 16) & 0xFF));
  out->push_back(static_cast<char>((length >> 8) & 0xFF));
  out->push_back(static_cast<char>(length & 0xFF));
}

}  // namespace

std::string EncodeFastCgiRequest(const FastCgiParams& params, std::string_view input) {
  std::string out;
  AppendHeader(&out, kBeginRequest, 8);
  const unsigned char begin[8] = {0, kResponder, 0, 0, 0, 0, 0, 0};
  out.append(reinterpret_cast<const char*>(begin), sizeof begin);
  std::string pairs;
  for (const auto& [name, value] : params) {
    AppendLength(&pairs, name.size());
    AppendLength(&pairs, value.size());
    pairs += name;
    pairs += value;
  }
  AppendStream(&out, kParams, pairs);
  AppendStream(&out, kStdin, input);
  return out;
}

void FastCgiReplyReader::StartRecord() {
  const unsigned char* h = header_;
  const uint16_t id = static_cast<uint16_t>(h[2] << 8 | h[3]);
  type_ = h[1];
  contentLeft_ = static_cast<std::size_t>(h[4] << 8 | h[5]);
  paddingLeft_ = h[6];
  inRecord_ = true;
  // Management records (id 0) are not answers to anything asked here.
  const bool known = type_ == kStdout || type_ == kStderr || type_ == kEndRequest;
  if (h[0] != kVersion || id != kRequestId || !known) state_ = State::Malformed;
  if (type_ == kEndRequest && contentLeft_ < 8) state_ = State::Malformed;
}

void FastCgiReplyReader::TakeOutput(const char* bytes, std::size_t length, std::string* page) {
  if (!inHead_) {
    page->append(bytes, length);
    return;
  }
  const std::size_t before = head_.size();
  head_.append(bytes, length);
  // The blank line ends the head, whether lines end in CR LF or LF alone.
  std::size_t search = before >= 3 ? before - 3 : 0;
  for (std::size_t i = search; i < head_.size(); ++i) {
    if (head_[i] != '\n') continue;
    std::size_t bodyStart = 0;
    if (i >= 1 && head_[i - 1] == '\n') bodyStart = i + 1;
    if (i >= 2 && head_[i - 1] == '\r' && head_[i - 2] == '\n') bodyStart = i + 1;
    if (bodyStart == 0) continue;
    inHead_ = false;
    page->append(head_, bodyStart, std::string::npos);
    std::string().swap(head_);
    return;
  }
  if (head_.size() > kMaxHeadBytes) state_ = State::Malformed;
}

FastCgiReplyReader::State FastCgiReplyReader::Feed(const char* bytes, std::size_t length,
                                                   std::string* page) {
  while (length > 0 && state_ == State::More) {
    if (!inRecord_) {
      const std::size_t take = std::min(length, sizeof header_ - headerHave_);
      std::copy(bytes, bytes + take, header_ + headerHave_);
      headerHave_ += take;
      bytes += take;
      length -= take;
      if (headerHave_ == sizeof header_) {
        headerHave_ = 0;
        StartRecord();
      }
      continue;
    }
    if (contentLeft_ > 0) {
      const std::size_t take = std::min(length, contentLeft_);
      if (type_ == kStdout) TakeOutput(bytes, take, page);
      contentLeft_ -= take;
      bytes += take;
      length -= take;
    } else if (paddingLeft_ > 0) {
      const std::size_t take = std::min(length, paddingLeft_);
      paddingLeft_ -= take;
      bytes += take;
      length -= take;
    }
    if (contentLeft_ == 0 && paddingLeft_ == 0) {
      inRecord_ = false;
      if (type_ == kEndRequest) state_ = State::Ended;
    }
  }
  // A record with nothing in it and no padding is complete as soon as its
  // header is.
  if (state_ == State::More && inRecord_ && contentLeft_ == 0 && paddingLeft_ == 0) {
    inRecord_ = false;
    if (type_ == kEndRequest) state_ = State::Ended;
  }
  return state_;
}
