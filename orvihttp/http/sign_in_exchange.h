#pragma once

#include <cstdint>
#include <string>

#include "orvihttp/access/access_gate.h"
#include "orvihttp/content/response.h"
#include "orvihttp/http/request.h"

// The sign-in page's side of a request: showing the form to a browser,
// taking the posted form, and signing out.

// The form's body is a name, a password and an address: a few hundred bytes.
inline constexpr int64_t kLongestSignInForm = 4096;

// "/?signin" (GET shows the form, POST takes it) and "/?signout". For a POST
// this holds only before its body replaced the query.
bool IsSignInRequest(const Request& request);
bool IsSignOutRequest(const Request& request);
// A browser asking for a page (its Accept names HTML) gets the form, where a
// tool gets the Basic challenge.
bool AsksForAPage(const Request& request);

// 401 with the form, for a browser that asked for `request`'s path; shown
// again with `message` after a wrong password.
Response SignInFormResponse(const Request& request, const std::string& message, bool overTls,
                            int port);

// What the posted form (in `request.query`) came to, and the answer to send.
struct SignInAnswer {
  Response response;
  AccessGate::SignInResult result;
  std::string triedName;
};
SignInAnswer AnswerSignInForm(AccessGate& gate, const Request& request,
                              const std::string& peerAddress, bool loopback, bool overTls, int port,
                              int64_t nowMs);
// Ends the request's session and sends the browser to the root.
Response AnswerSignOut(AccessGate& gate, const Request& request, bool overTls);

// The value of field `name` in a form body (application/x-www-form-urlencoded),
// decoded to its bytes; "" when absent.
std::string FormField(const std::string& body, const std::string& name);
