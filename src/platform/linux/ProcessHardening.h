#pragma once

// Keeps the process out of core dumps and away from other processes of the
// same user that would read its memory (ptrace, /proc/PID/mem): both would
// expose the mail password it holds in clear text. Called first thing in
// main; failures are ignored, since the program works without it.
void keepSecretsOutOfDumps();
