#pragma once

#include <functional>
#include <memory>

class Connection;

// Where the system offers a readiness queue (epoll on Linux), connections
// are served by a few threads, one per processor, instead of a thread each:
// a connection waiting for its next request holds no thread, and a busy
// thread goes from one ready connection to the next without the switch to
// another thread that each request costs otherwise. A thread whose
// connection is about to block for long (a paced or stalled send, a slow
// request body, a script) first hands its place to another, so those never
// hold up the rest, along with the ready connections it took from the
// queue at the same time. One pool per client registry.
class ConnectionPool {
 public:
  // `beforeWaiting` runs on the pool thread that stops work last, about to
  // wait for more or to wait long for a connection (a script, a paced
  // send): it writes out the log lines the pool's threads held back while
  // they were busy (log_file.h).
  explicit ConnectionPool(std::function<void()> beforeWaiting);
  // Ends the pool's threads (see End).
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // Begins serving `connection` in the pool; false where there is no pool
  // (Windows) or it could not take the connection: the caller then starts
  // the connection's own thread.
  bool Serve(Connection* connection);
  // Waits until no pool thread runs `connection` and takes it out of the
  // pool; nothing for a connection the pool never took. From the
  // connection's destructor.
  void Leave(Connection* connection);
  // Ends the pool's threads once every connection has left; the next
  // connection starts a new pool.
  void End();

 private:
  struct Queue;
  std::unique_ptr<Queue> queue_;
};
