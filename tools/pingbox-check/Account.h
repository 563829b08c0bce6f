#pragma once

#include "settings/StoredSettings.h"

struct Options;

// The account to check, in the server, user name and password of the
// settings: as given on the command line, the password from --password-file
// or PINGBOX_PASSWORD, or else as Pingbox stores it. Raises UsageError when
// there is none to use.
StoredSettings accountFor(const Options& options);
