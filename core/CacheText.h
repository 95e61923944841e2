#pragma once
// The text of the caches Discora keeps beside its settings: lines of
// tab-separated fields, in which tabs, line breaks and backslashes are
// written as \t, \n, \r and \\, and numbers as plain decimals.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstring>
#include <limits>
#include <type_traits>

namespace CacheText
{

// Appends text to out with its tabs, line breaks and backslashes escaped.
void Escape(QByteArrayView text, QByteArray &out);
// What Escape wrote, into out; false for a field no Escape wrote.
bool Unescape(QByteArrayView field, QByteArray &out);
// The text of a field Escape wrote (as UTF-8), through scratch only where
// something in it is escaped; false for a field no Escape wrote.
bool ReadText(QByteArrayView field, QString &out, QByteArray &scratch);
// Whether text needs escaping at all (most names and values do not).
bool NeedsEscape(QByteArrayView text);

// Where c first is in text at from or after, -1 when it is not: a field
// boundary is looked for a dozen times a line.
inline qsizetype Find(QByteArrayView text, char c, qsizetype from = 0)
{
    if (from >= text.size())
        return -1;
    const void *at = std::memchr(text.data() + from, c, size_t(text.size() - from));
    return at ? static_cast<const char *>(at) - text.data() : -1;
}

// A plain decimal number ("123", "-4"), as the caches write them, without a
// detour through Qt's general conversion: a large cache holds many a line.
template <typename Number> bool PlainNumber(QByteArrayView field, Number &value)
{
    const bool negative = !field.isEmpty() && field.front() == '-';
    if (negative && !std::is_signed_v<Number>)
        return false;
    const qsizetype first = negative ? 1 : 0;
    // Up to 19 digits cannot overflow 64 bits; longer ones are left to Qt.
    if (field.size() == first || field.size() - first > (sizeof(Number) == 8 ? 19 : 9))
        return false;
    quint64 n = 0;
    for (qsizetype i = first; i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + quint64(c - '0');
    }
    if (n > quint64(std::numeric_limits<Number>::max()) + (negative ? 1 : 0))
        return false;
    value = negative ? Number(0 - n) : Number(n);
    return true;
}

template <typename Number> bool ReadNumber(QByteArrayView field, Number &value)
{
    if (PlainNumber(field, value))
        return true;
    bool ok = false;
    if constexpr (std::is_same_v<Number, quint64>)
        value = field.toULongLong(&ok);
    else if constexpr (std::is_same_v<Number, qint64>)
        value = field.toLongLong(&ok);
    else
        value = field.toInt(&ok);
    return ok;
}

// Splits line into exactly n tab-separated fields; false for any other
// number of them.
bool SplitFields(QByteArrayView line, QByteArrayView *fields, int n);

} // namespace CacheText
