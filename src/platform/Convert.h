#pragma once

#include <QtCore/QString>

#include <cstdint>

// Whole number from text: optional leading blanks, an optional sign, then
// decimal digits or '$' followed by hexadecimal digits; the value must fit in
// 32 signed bits. Anything else raises EConvertError.
std::int32_t StrToInt(const QString& text);
