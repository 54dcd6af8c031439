#include "orvihttp/tls/tls_random.h"

#include <mbedtls/ctr_drbg.h>
#include <mbedtls/entropy.h>
#include <psa/crypto.h>

#include <mutex>

namespace {

struct RandomState {
  mbedtls_entropy_context entropy;
  mbedtls_ctr_drbg_context drbg;
  bool ready = false;
};

// Lives as long as the process: sessions on other threads may still draw from
// it while static objects are destroyed.
RandomState& State() {
  static RandomState* state = new RandomState;
  return *state;
}

}  // namespace

bool StartTlsLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    RandomState& state = State();
    mbedtls_entropy_init(&state.entropy);
    mbedtls_ctr_drbg_init(&state.drbg);
    static const unsigned char kPersonalization[] = "Orvi HTTP Server";
    state.ready = psa_crypto_init() == PSA_SUCCESS &&
                  mbedtls_ctr_drbg_seed(&state.drbg, mbedtls_entropy_func, &state.entropy,
                                        kPersonalization, sizeof kPersonalization - 1) == 0;
  });
  return State().ready;
}

int TlsRandom(void* state, unsigned char* output, size_t length) {
  return mbedtls_ctr_drbg_random(state, output, length);
}

void* TlsRandomState() {
  return &State().drbg;
}
