#pragma once

// Registers the pictures and icons compiled into the program. A static
// library's resources are only reachable after this has run once.
void initPingboxResources();
