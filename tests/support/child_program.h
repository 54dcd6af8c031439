#pragma once

#include <string>

// Full path of a program built beside the test program ("fixture_fake_cgi"
// -> ".../fixture_fake_cgi" or ".../fixture_fake_cgi.exe").
std::string TestProgramPath(const std::string& base);

// The same path between double quotes, ready to start a command line.
std::string QuotedTestProgram(const std::string& base);

// Runs a command line to its end and returns everything it wrote on
// standard output (and standard error when `withErrors`); `exitCode` gets
// its exit code. Fails the test when it cannot be started.
std::string RunProgram(const std::string& commandLine, int* exitCode = nullptr,
                       bool withErrors = false);
