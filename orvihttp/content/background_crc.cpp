#include "orvihttp/content/background_crc.h"

#include <zlib.h>

BackgroundCrc::~BackgroundCrc() {
  // The worker finishes the piece it is on before it leaves, so the bytes it
  // reads are never freed under it.
  Stop();
}

void BackgroundCrc::Begin(uint32_t crc, const char* data, std::size_t size) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    crc_ = crc;
    data_ = data;
    size_ = size;
    busy_ = true;
  }
  changed_.notify_all();
}

uint32_t BackgroundCrc::Result() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  return crc_;
}

void BackgroundCrc::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return busy_ || StopRequested(); });
    if (!busy_) return;
    const char* data = data_;
    const std::size_t size = size_;
    const uLong start = crc_;
    lock.unlock();
    const uLong crc = crc32_z(start, reinterpret_cast<const Bytef*>(data), size);
    lock.lock();
    crc_ = static_cast<uint32_t>(crc);
    busy_ = false;
    changed_.notify_all();
  }
}

void BackgroundCrc::OnThreadStop() {
  // Under the lock, so the worker cannot miss the stop between its check and
  // its wait.
  const std::lock_guard<std::mutex> lock(mutex_);
  changed_.notify_all();
}
