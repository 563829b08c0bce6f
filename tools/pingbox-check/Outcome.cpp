#include "Outcome.h"

#include <cstdio>

void say(const QString& line) {
    std::fprintf(stderr, "pingbox-check: %s\n", qUtf8Printable(line));
}
