#include "tests/orvihttp/http/http_test_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "foundation/clock.h"

bool HttpTestClient::Connect(int port) {
  return Connect("127.0.0.1", port);
}

bool HttpTestClient::Connect(const std::string& address, int port) {
  Close();
  socket_ = ConnectToAddress(address, port);
  peerClosed_ = false;
  pending_.clear();
  return socket_ != kInvalidSocket;
}

bool HttpTestClient::Send(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const SocketTransfer sent =
        SendSome(socket_, bytes.data() + done, static_cast<int>(bytes.size() - done));
    if (sent.result == SocketResult::WouldBlock) {
      if (WaitForSocket(socket_, true, 5000, nullptr) != SocketWait::Ready) return false;
      continue;
    }
    if (sent.result != SocketResult::Done) return false;
    done += static_cast<std::size_t>(sent.bytes);
  }
  return true;
}

int HttpTestClient::Fill(uint32_t milliseconds) {
  if (socket_ == kInvalidSocket || peerClosed_) return 0;
  uint32_t start = TimeMs();
  while (true) {
    uint32_t spent = TimeMs() - start;
    if (spent >= milliseconds) return -1;
    if (WaitForSocket(socket_, false, milliseconds - spent, nullptr) != SocketWait::Ready)
      return -1;
    char buffer[65536];
    const SocketTransfer received = ReceiveSome(socket_, buffer, sizeof buffer);
    if (received.result == SocketResult::WouldBlock) continue;
    if (received.result != SocketResult::Done) {
      peerClosed_ = true;
      return 0;
    }
    pending_.append(buffer, static_cast<std::size_t>(received.bytes));
    return received.bytes;
  }
}

std::string HttpTestClient::Read(std::size_t count, uint32_t milliseconds) {
  while (pending_.size() < count && Fill(milliseconds) > 0) {
  }
  std::string result = pending_.substr(0, count);
  pending_.erase(0, result.size());
  return result;
}

std::string HttpTestClient::ReadResponse(bool headOnly, uint32_t milliseconds) {
  std::size_t end;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (Fill(milliseconds) <= 0) {
      std::string partial = pending_;
      pending_.clear();
      return partial;
    }
  }
  std::string head = pending_.substr(0, end + 4);
  pending_.erase(0, end + 4);
  int64_t length = headOnly ? 0 : ContentLengthOf(head);
  if (length <= 0) return head;
  return head + Read(static_cast<std::size_t>(length), milliseconds);
}

std::string HttpTestClient::ReadChunkedBody(uint32_t milliseconds, bool* whole) {
  std::string data;
  *whole = false;
  // Each chunk: its size in hex, its bytes, a line end; the last one is empty.
  while (true) {
    std::size_t lineEnd;
    while ((lineEnd = pending_.find("\r\n")) == std::string::npos) {
      if (Fill(milliseconds) <= 0) return data;
    }
    const std::size_t size = std::strtoull(pending_.substr(0, lineEnd).c_str(), nullptr, 16);
    while (pending_.size() < lineEnd + 2 + size + 2) {
      if (Fill(milliseconds) <= 0) return data;
    }
    if (pending_.compare(lineEnd + 2 + size, 2, "\r\n") != 0) return data;
    data.append(pending_, lineEnd + 2, size);
    pending_.erase(0, lineEnd + 2 + size + 2);
    if (size == 0) {
      *whole = true;
      return data;
    }
  }
}

std::string HttpTestClient::ReadToEnd(uint32_t milliseconds, bool* closed) {
  uint32_t start = TimeMs();
  while (!peerClosed_) {
    uint32_t spent = TimeMs() - start;
    if (spent >= milliseconds || Fill(milliseconds - spent) < 0) break;
  }
  if (closed) *closed = peerClosed_;
  std::string result = pending_;
  pending_.clear();
  return result;
}

bool HttpTestClient::ClosedWithoutData(uint32_t milliseconds) {
  bool closed = false;
  std::string data = ReadToEnd(milliseconds, &closed);
  return closed && data.empty();
}

void HttpTestClient::Close() {
  CloseSocket(socket_);
  socket_ = kInvalidSocket;
}

int FindFreePort() {
  SocketHandle socket = kInvalidSocket;
  if (OpenListeningSocket(0, &socket) != ListenResult::Listening) return 0;
  int port = SocketLocalPort(socket);
  CloseSocket(socket);
  return port;
}

std::string WithoutDate(const std::string& response) {
  const std::string key = "\r\nDate: ";
  std::size_t start = response.find(key);
  if (start == std::string::npos) {
    ADD_FAILURE() << "no Date header in " << response;
    return response;
  }
  start += key.size();
  std::size_t end = response.find("\r\n", start);
  std::string date = response.substr(start, end - start);
  bool recent = false;
  std::time_t now = std::time(nullptr);
  for (int back = -1; back <= 5 && !recent; ++back) {
    std::time_t moment = now - back;
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", std::gmtime(&moment));
    recent = date == text;
  }
  EXPECT_TRUE(recent) << "Date is not now: " << date;
  return response.substr(0, start) + "<date>" + response.substr(end);
}

int64_t ContentLengthOf(const std::string& response) {
  const std::string key = "\r\nContent-Length: ";
  std::size_t start = response.find(key);
  std::size_t headEnd = response.find("\r\n\r\n");
  if (start == std::string::npos || start > headEnd) return -1;
  return std::atoll(response.c_str() + start + key.size());
}

std::string BodyOf(const std::string& response) {
  std::size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? "" : response.substr(end + 4);
}

std::string Exchange(int port, const std::string& request, bool headOnly) {
  HttpTestClient client(port);
  EXPECT_TRUE(client.IsConnected());
  client.Send(request);
  return client.ReadResponse(headOnly);
}

std::string Get(int port, const std::string& uri) {
  return Exchange(port, "GET " + uri + " HTTP/1.1\r\nHost: test\r\n\r\n");
}
