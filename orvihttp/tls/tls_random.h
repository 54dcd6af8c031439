#pragma once

#include <cstddef>

// The process's one random generator, for keys, certificate serials and every
// TLS session: the system's entropy (getrandom, BCryptGenRandom) seeding a
// CTR-DRBG that any thread may use. Starting it also starts mbedTLS's crypto
// core, which TLS 1.3 needs.

// Starts both once for the process; false when the system gave no entropy.
// Every entry point of this module calls it first.
bool StartTlsLibrary();

// mbedTLS's random callback and the state to hand it, for the calls that take
// one (only after StartTlsLibrary returned true).
int TlsRandom(void* state, unsigned char* output, size_t length);
void* TlsRandomState();
