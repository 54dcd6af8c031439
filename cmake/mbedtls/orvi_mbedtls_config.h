/*
 * The mbedTLS features the server uses, and nothing else: a TLS 1.2 and 1.3
 * server with ECDHE key exchange, ECDSA or RSA certificates and AEAD record
 * protection only; session tickets and ALPN; reading certificate chains and
 * keys from PEM files; making a self-signed ECDSA P-256 certificate; SHA-256
 * fingerprints; PBKDF2 password hashes; random numbers from the system's
 * entropy. Everything not named here is left out, so a weak cipher or an old
 * protocol version cannot be negotiated by accident and the library builds
 * quickly.
 */
#ifndef ORVI_MBEDTLS_CONFIG_H
#define ORVI_MBEDTLS_CONFIG_H

/* Platform. mbedTLS needs its platform layer on Windows (for a correct
 * snprintf under the Microsoft C runtime); Linux builds it the same way. */
#define MBEDTLS_PLATFORM_C
#define MBEDTLS_HAVE_ASM
#define MBEDTLS_HAVE_TIME
#define MBEDTLS_HAVE_TIME_DATE
/* Connections are served by several threads sharing the random generator
 * and the ticket keys; both builds have POSIX threads (winpthreads under
 * mingw-w64). */
#define MBEDTLS_THREADING_C
#define MBEDTLS_THREADING_PTHREAD

/* Random numbers: the system's source (getrandom, BCryptGenRandom) feeds a
 * CTR-DRBG. */
#define MBEDTLS_ENTROPY_C
#define MBEDTLS_CTR_DRBG_C

/* Hashes: SHA-256 for fingerprints, signatures and TLS 1.3; SHA-384 for the
 * TLS suites that use it and for users' certificates signed with it. */
#define MBEDTLS_MD_C
#define MBEDTLS_SHA256_C
#define MBEDTLS_SHA384_C
#define MBEDTLS_SHA512_C
#define MBEDTLS_HKDF_C
/* Password hashes of the server's accounts: PBKDF2 with HMAC-SHA-256. */
#define MBEDTLS_PKCS5_C

/* Record protection: AEAD only. */
#define MBEDTLS_CIPHER_C
#define MBEDTLS_AES_C
#define MBEDTLS_AESNI_C
#define MBEDTLS_GCM_C
#define MBEDTLS_CHACHA20_C
#define MBEDTLS_POLY1305_C
#define MBEDTLS_CHACHAPOLY_C

/* Public keys: ECDSA and ECDHE on the usual curves, RSA certificates. */
#define MBEDTLS_BIGNUM_C
#define MBEDTLS_ECP_C
#define MBEDTLS_ECP_NIST_OPTIM
/* A wider window for the fixed base point makes each ECDSA signature of a
 * handshake cheaper, for a few kilobytes of precomputed points. */
#define MBEDTLS_ECP_WINDOW_SIZE 6
#define MBEDTLS_ECDH_VARIANT_EVEREST_ENABLED
#define MBEDTLS_ECP_DP_SECP256R1_ENABLED
#define MBEDTLS_ECP_DP_SECP384R1_ENABLED
#define MBEDTLS_ECP_DP_CURVE25519_ENABLED
#define MBEDTLS_ECDH_C
#define MBEDTLS_ECDSA_C
#define MBEDTLS_RSA_C
#define MBEDTLS_PKCS1_V15
#define MBEDTLS_PKCS1_V21
#define MBEDTLS_PK_C
#define MBEDTLS_PK_PARSE_C
#define MBEDTLS_PK_WRITE_C
#define MBEDTLS_PSA_CRYPTO_C

/* Encodings and certificates */
#define MBEDTLS_ASN1_PARSE_C
#define MBEDTLS_ASN1_WRITE_C
#define MBEDTLS_OID_C
#define MBEDTLS_BASE64_C
#define MBEDTLS_PEM_PARSE_C
#define MBEDTLS_PEM_WRITE_C
#define MBEDTLS_X509_USE_C
#define MBEDTLS_X509_CRT_PARSE_C
#define MBEDTLS_X509_RSASSA_PSS_SUPPORT
#define MBEDTLS_X509_CREATE_C
#define MBEDTLS_X509_CRT_WRITE_C

/* TLS. The client side is there for the tests, which shake hands with the
 * server in the same process on every platform. */
#define MBEDTLS_SSL_TLS_C
#define MBEDTLS_SSL_SRV_C
#define MBEDTLS_SSL_CLI_C
#define MBEDTLS_SSL_PROTO_TLS1_2
#define MBEDTLS_SSL_PROTO_TLS1_3
#define MBEDTLS_SSL_TLS1_3_COMPATIBILITY_MODE
#define MBEDTLS_SSL_TLS1_3_KEY_EXCHANGE_MODE_EPHEMERAL_ENABLED
/* Resumption with a ticket in TLS 1.3 still makes a fresh ECDHE share. */
#define MBEDTLS_SSL_TLS1_3_KEY_EXCHANGE_MODE_PSK_EPHEMERAL_ENABLED
#define MBEDTLS_KEY_EXCHANGE_ECDHE_ECDSA_ENABLED
#define MBEDTLS_KEY_EXCHANGE_ECDHE_RSA_ENABLED
#define MBEDTLS_SSL_EXTENDED_MASTER_SECRET
#define MBEDTLS_SSL_KEEP_PEER_CERTIFICATE
#define MBEDTLS_SSL_SESSION_TICKETS
#define MBEDTLS_SSL_TICKET_C
#define MBEDTLS_SSL_ALPN
#define MBEDTLS_SSL_SERVER_NAME_INDICATION
#define MBEDTLS_SSL_ALL_ALERT_MESSAGES

#endif /* ORVI_MBEDTLS_CONFIG_H */
