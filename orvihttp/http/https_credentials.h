#pragma once

#include <memory>
#include <string>

#include "orvihttp/config/server_settings.h"
#include "orvihttp/tls/tls_server_config.h"

// What HTTPS serves with under `settings`: the user's certificate and key
// files when either is named, else the pair made for the user in the
// install folder, made or renewed first when it is missing, expired or no
// longer names this machine. Nothing when it cannot serve, with the reason
// in `*error`. A pair made anew is said in `*note` ("" otherwise).
std::shared_ptr<const TlsServerConfig> PrepareHttps(const ServerSettings& settings,
                                                    std::string* error, std::string* note);
