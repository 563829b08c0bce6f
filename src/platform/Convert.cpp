#include "Convert.h"

#include "Errors.h"

std::int32_t StrToInt(const QString& text) {
    auto fail = [&]() -> std::int32_t {
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    };
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return fail();
    std::int64_t value = 0;
    for (; i < n; ++i) {
        const int digit = QChar(text[i]).isDigit() && text[i].unicode() < 128
                              ? text[i].unicode() - '0'
                          : (base == 16 && text[i].toLower() >= u'a' && text[i].toLower() <= u'f')
                              ? text[i].toLower().unicode() - 'a' + 10
                              : -1;
        if (digit < 0 || digit >= base)
            return fail();
        value = value * base + digit;
        if (value > (std::int64_t{1} << 32))
            return fail();
    }
    if (base == 16 && !negative && value <= 0xFFFFFFFFll)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return fail();
    return static_cast<std::int32_t>(value);
}
