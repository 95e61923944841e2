#include "QLXError.h"

#include <limits>

int StrToInt(const QString &text)
{
    const auto fail
        = [&text]() { return EQLXError(u'\'' + text + QStringLiteral("' is not a valid integer value")); };
    qsizetype i = 0;
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        i = 1;
    if (i == text.size())
        throw fail();
    // Accumulate the magnitude in 64 bits and stop as soon as it leaves the
    // 32-bit range, so that any number of digits cannot overflow.
    const qint64 limit
        = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            throw fail();
        value = value * 10 + (c - u'0');
        if (value > limit)
            throw fail();
    }
    return int(negative ? -value : value);
}

QString UnableToWriteText(const QString &path)
{
    return QStringLiteral("Unable to write to %1").arg(path);
}
