#pragma once

#include <QtGui/QColor>

#include <cstdint>

// 32-bit colour values: with the top bit set, the low byte names a system
// colour; otherwise red, green and blue with red in the lowest byte.
QColor colorToQColor(std::uint32_t color);
