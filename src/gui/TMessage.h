#pragma once

#include <cstdint>

class QObject;

// A window message: to the application's own window, or to a hidden window
// such as the tray icon's.
struct TMessage {
    QObject* Receiver = nullptr;
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};
