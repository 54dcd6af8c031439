#pragma once

// The mbedTLS objects behind this module's classes. Only the module's own
// .cpp files include this header: nothing outside orvihttp/tls sees mbedTLS.

#include <mbedtls/pk.h>
#include <mbedtls/ssl.h>
#include <mbedtls/ssl_ticket.h>
#include <mbedtls/x509_crt.h>

#include <cstdint>
#include <string>

struct CertificateChainParts {
  CertificateChainParts() { mbedtls_x509_crt_init(&chain); }
  ~CertificateChainParts() { mbedtls_x509_crt_free(&chain); }
  CertificateChainParts(const CertificateChainParts&) = delete;
  CertificateChainParts& operator=(const CertificateChainParts&) = delete;

  mbedtls_x509_crt chain;
};

struct PrivateKeyParts {
  PrivateKeyParts() { mbedtls_pk_init(&key); }
  ~PrivateKeyParts() { mbedtls_pk_free(&key); }
  PrivateKeyParts(const PrivateKeyParts&) = delete;
  PrivateKeyParts& operator=(const PrivateKeyParts&) = delete;

  mbedtls_pk_context key;
};

struct TlsServerConfigParts {
  TlsServerConfigParts() {
    mbedtls_ssl_config_init(&config);
    mbedtls_ssl_ticket_init(&tickets);
  }
  ~TlsServerConfigParts() {
    mbedtls_ssl_ticket_free(&tickets);
    mbedtls_ssl_config_free(&config);
  }
  TlsServerConfigParts(const TlsServerConfigParts&) = delete;
  TlsServerConfigParts& operator=(const TlsServerConfigParts&) = delete;

  mbedtls_ssl_config config;
  mbedtls_ssl_ticket_context tickets;
};

// "-0x2700": how a message names an mbedTLS error for a bug report.
std::string MbedtlsErrorCode(int error);
// A certificate time in seconds since 1970 (UTC).
int64_t X509TimeSeconds(const mbedtls_x509_time& time);
