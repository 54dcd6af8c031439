#pragma once

#include <string>

#include "orvihttp/content/response.h"

// The page a browser gets for a folder it must sign in to see: a form for a
// name and password, posted to kSignInTarget with the address to go back to.
// `message` ("" for none) says why it is shown again; `unencrypted` adds
// that the password would travel in clear. The footer names `port`.
std::string SignInPage(const std::string& returnPath, const std::string& message, bool unencrypted,
                       int port);

// The query that names the sign-in and sign-out addresses on the root
// ("/?signin", "/?signout"): a query, so no file or folder name of the tree
// can be mistaken for them.
inline constexpr char kSignInQuery[] = "signin";
inline constexpr char kSignOutQuery[] = "signout";
inline constexpr char kSignOutLink[] = "/?signout";
