#pragma once

#include <string>
#include <vector>

// The banned peer addresses (dotted-decimal text), in the order they were
// added. Memory only: empty at every plugin start, never saved. Every call
// takes the list's own lock; callers get copies.

// Appends the address unless an equal one (exact, case-sensitive) is there.
void BanAddress(const std::string& address);
// Removes the first equal entry, if any.
void UnbanAddress(const std::string& address);
bool IsAddressBanned(const std::string& address);
std::vector<std::string> BannedAddresses();
// Ends the list; the next use starts an empty one.
void DestroyIpBlacklist();
