#pragma once

// What the user is told when the server's port cannot be opened.
inline constexpr char kServerSocketErrorText[] = "Error: Cannot initialise server socket!";

// The message box with that text. Shown only outside every lock of the
// server: while it waits for the user, the status thread and the Info page
// go on reading the listener.
void TellServerSocketError();

class Listener;

// Starts the listener, as the Info page's start button does, and tells the
// user when the port cannot be opened. True when the server listens.
bool StartListenerOrTellUser(Listener& listener);
