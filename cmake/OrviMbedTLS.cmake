# mbedTLS for the TLS module (orvihttp/tls), as the target orvi_mbedtls.
#
# By default the build compiles mbedTLS 3.6 from the Debian source package
# that scripts/setup-debian.sh unpacks (ORVI_MBEDTLS_SOURCE), with the trimmed
# configuration cmake/mbedtls/orvi_mbedtls_config.h, into one static library
# per build folder. It is part of the build graph like our own code: compiled
# once, through the compiler launcher (ccache) when one is set, and not again
# until a file or flag of it changes. A packager with a system mbedTLS 3.x
# passes -DORVI_SYSTEM_MBEDTLS=ON instead; its configuration must include
# TLS 1.3, X.509 writing and PEM.
option(ORVI_SYSTEM_MBEDTLS "Link an installed mbedTLS 3.x (find_package(MbedTLS 3)) instead of building one" OFF)
set(ORVI_MBEDTLS_SOURCE /usr/local/src/orvi-mbedtls/source
    CACHE PATH "Unpacked mbedTLS 3.6 source tree (made by scripts/setup-debian.sh)")

add_library(orvi_mbedtls INTERFACE)

if(ORVI_SYSTEM_MBEDTLS)
  find_package(MbedTLS 3 REQUIRED)
  target_link_libraries(orvi_mbedtls INTERFACE MbedTLS::mbedtls MbedTLS::mbedx509 MbedTLS::mbedcrypto)
  message(STATUS "mbedTLS: system ${MbedTLS_VERSION}")
  return()
endif()

if(NOT EXISTS ${ORVI_MBEDTLS_SOURCE}/include/mbedtls/build_info.h)
  message(FATAL_ERROR "No mbedTLS source in ${ORVI_MBEDTLS_SOURCE}: run scripts/setup-debian.sh, "
                      "set ORVI_MBEDTLS_SOURCE, or use -DORVI_SYSTEM_MBEDTLS=ON")
endif()
file(STRINGS ${ORVI_MBEDTLS_SOURCE}/include/mbedtls/build_info.h version_line
     REGEX "^#define MBEDTLS_VERSION_STRING +\"")
string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" ORVI_MBEDTLS_VERSION "${version_line}")
if(NOT ORVI_MBEDTLS_VERSION VERSION_GREATER_EQUAL 3.6 OR ORVI_MBEDTLS_VERSION VERSION_GREATER_EQUAL 4)
  message(FATAL_ERROR "mbedTLS in ${ORVI_MBEDTLS_SOURCE} is ${ORVI_MBEDTLS_VERSION}; 3.6 is needed")
endif()
message(STATUS "mbedTLS: ${ORVI_MBEDTLS_VERSION} built from ${ORVI_MBEDTLS_SOURCE}")

# Every .c file of the library; the configuration leaves what it does not
# name empty, so only the chosen features cost compile time.
file(GLOB mbedtls_sources CONFIGURE_DEPENDS ${ORVI_MBEDTLS_SOURCE}/library/*.c)
# X25519, the key exchange nearly every client offers first, from the
# library's bundled verified implementation (Apache-2.0): about five times the
# shared-secret rate of the generic big-number code, so a new connection costs
# the server much less.
set(everest ${ORVI_MBEDTLS_SOURCE}/3rdparty/everest)
list(APPEND mbedtls_sources ${everest}/library/everest.c ${everest}/library/x25519.c
     ${everest}/library/Hacl_Curve25519_joined.c)
# One change of ours to the library's source: TLS 1.3 makes the server's
# X25519 key share through the PSA layer, whose public key came from the
# generic ladder; the patch takes it from the verified code above, which
# halves what a new connection costs the server. A source it does not fit
# (another release) is built as it is, only slower.
set(x25519_patch ${CMAKE_SOURCE_DIR}/cmake/mbedtls/x25519-public-key-from-everest.patch)
set(patched_ecp ${CMAKE_CURRENT_BINARY_DIR}/mbedtls-patched/psa_crypto_ecp.c)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${x25519_patch})
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/mbedtls-patched)
find_program(ORVI_PATCH_PROGRAM patch)
set(patch_result 1)
if(ORVI_PATCH_PROGRAM)
  execute_process(COMMAND ${ORVI_PATCH_PROGRAM} --silent --force -o ${patched_ecp}.new
                          ${ORVI_MBEDTLS_SOURCE}/library/psa_crypto_ecp.c ${x25519_patch}
                  RESULT_VARIABLE patch_result OUTPUT_QUIET ERROR_QUIET)
endif()
if(patch_result EQUAL 0)
  # Rewritten only when it changes, so a new configure does not rebuild it.
  file(COPY_FILE ${patched_ecp}.new ${patched_ecp} ONLY_IF_DIFFERENT)
  list(REMOVE_ITEM mbedtls_sources ${ORVI_MBEDTLS_SOURCE}/library/psa_crypto_ecp.c)
  list(APPEND mbedtls_sources ${patched_ecp})
else()
  message(WARNING "mbedTLS: ${x25519_patch} does not apply to ${ORVI_MBEDTLS_VERSION}; "
                  "X25519 key shares use the slower generic code")
endif()
file(REMOVE ${patched_ecp}.new)
add_library(orvi_mbedtls_static STATIC ${mbedtls_sources})
# The AES-NI code runs only after the library has asked the processor for
# AES-NI and carry-less multiply, and every processor with those also has
# SSSE3. Built for them, the library takes its intrinsics over its inline
# assembly and the compiler turns the byte reversals of each GHASH step into
# one shuffle: large downloads over HTTPS encrypt about a quarter faster.
# aes.c must see the same choice, as it aligns the round keys for the
# intrinsics; the two flags alone add no instruction the compiler would use
# on its own, so its portable AES stays as it was.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND CMAKE_C_COMPILER_ID MATCHES "GNU|Clang")
  set_source_files_properties(${ORVI_MBEDTLS_SOURCE}/library/aes.c PROPERTIES COMPILE_OPTIONS "-maes;-mpclmul")
  set_source_files_properties(${ORVI_MBEDTLS_SOURCE}/library/aesni.c PROPERTIES COMPILE_OPTIONS
                                                                          "-maes;-mpclmul;-mssse3")
endif()
# The verified X25519 code is written as short fixed-count loops over the
# limbs of a number; only at -O3 does the compiler unroll them and keep the
# limbs in registers, which doubles its rate (11,800 to 22,900 multiplications
# a second here) and takes a sixth off a new HTTPS connection's processor time.
# No other file of the library gained from it.
if(CMAKE_C_COMPILER_ID MATCHES "GNU|Clang")
  set_source_files_properties(${everest}/library/Hacl_Curve25519_joined.c PROPERTIES COMPILE_OPTIONS
                                                                              "$<$<CONFIG:Release,RelWithDebInfo>:-O3>")
endif()
set_target_properties(orvi_mbedtls_static PROPERTIES OUTPUT_NAME orvi-mbedtls C_STANDARD 99)
# Our warnings are errors for our code only; mbedTLS keeps its own warnings,
# which differ between compilers and releases. Sanitizer and fuzzer flags
# stay, so the fuzz targets see into the parsers.
get_target_property(mbedtls_options orvi_mbedtls_static COMPILE_OPTIONS)
list(REMOVE_ITEM mbedtls_options -Werror)
set_target_properties(orvi_mbedtls_static PROPERTIES COMPILE_OPTIONS "${mbedtls_options}")
target_compile_options(orvi_mbedtls_static PRIVATE -Wno-unused-parameter)
set(ORVI_MBEDTLS_CONFIG ${CMAKE_SOURCE_DIR}/cmake/mbedtls/orvi_mbedtls_config.h)
target_compile_definitions(orvi_mbedtls_static PUBLIC MBEDTLS_CONFIG_FILE="${ORVI_MBEDTLS_CONFIG}")
# The headers are a system include, so our warnings do not judge them.
target_include_directories(orvi_mbedtls_static SYSTEM PUBLIC ${ORVI_MBEDTLS_SOURCE}/include ${everest}/include)
target_include_directories(orvi_mbedtls_static PRIVATE ${ORVI_MBEDTLS_SOURCE}/library ${everest}/include/everest
                                                       ${everest}/include/everest/kremlib)
find_package(Threads REQUIRED)
target_link_libraries(orvi_mbedtls_static PUBLIC Threads::Threads)
if(WIN32)
  # Randomness comes from BCryptGenRandom, a DLL Windows ships.
  target_link_libraries(orvi_mbedtls_static PUBLIC bcrypt)
endif()
target_link_libraries(orvi_mbedtls INTERFACE orvi_mbedtls_static)
