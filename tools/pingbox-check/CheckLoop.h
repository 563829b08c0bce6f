#pragma once

struct Options;
struct StoredSettings;

// Checks the account as often as the options say, printing each count on
// stdout, until the last check or the first failure; returns the exit code.
// Runs the application's event loop.
int runChecks(const Options& options, const StoredSettings& account);
