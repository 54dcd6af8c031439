#pragma once

#include <cstdint>

// The listening side of the server: one process-wide Listener, created on
// first use, owning the listening socket and the accept thread. Each call
// takes the Listener's lock. Connections already accepted are not touched by
// a stop.

enum class ListenerStart {
  Listening,        // started now, or running already
  PortUnavailable,  // the port could not be opened; the server stays stopped
};

// Opens the port of the `Port` setting and starts the accept thread; does
// nothing while it runs. A port that cannot be opened is written to the
// access log and the Log page; telling the user is the caller's part, once
// this call has let go of the Listener's lock, so that a box waiting for the
// user holds up no one else.
ListenerStart StartListener();
// Ends the accept thread and closes the listening socket.
void StopListener();
// True while the accept thread runs.
bool IsListening();
// The port actually listened on, 0 when stopped (tests listen on port 0).
int ListeningPort();
// Stops and ends the Listener (plugin stop, before the client registry).
void DestroyListener();
// When the server last started, seconds since 1970 (the Info page's uptime).
int64_t ServerStartTime();
