#pragma once

// The server's shared objects (listener, client registry, log lock, settings
// store, virtual directory, MIME table, IP blacklist) each come into being on
// first use. They are ended only here, in one order: whatever runs threads
// goes first, so no connection is left reading an object already gone.

// Ends the listener, then every connection with the client registry.
void EndServing();

// Ends every shared object: EndServing(), then the log lock, the settings
// store, the virtual directory, the MIME table and the IP blacklist.
void DestroyServerObjects();
