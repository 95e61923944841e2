#include "CaseFold.h"

#include <QString>
#include <QStringDecoder>

namespace
{

constexpr quint64 FnvOffset = 1469598103934665603ULL; // FNV-1a
constexpr quint64 FnvPrime = 1099511628211ULL;

} // namespace

bool IsAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool IsAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

QByteArray FoldCase(QByteArrayView name)
{
    if (!IsAscii(name)) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(name);
        if (!utf8.hasError())
            return text.toCaseFolded().toUtf8();
    }
    QByteArray folded = name.toByteArray();
    for (char &c : folded)
        c = AsciiLower(c);
    return folded;
}

quint64 FoldedHash(QByteArrayView name)
{
    quint64 h = FnvOffset;
    if (!IsAscii(name)) {
        for (const char c : FoldCase(name))
            h = (h ^ static_cast<unsigned char>(c)) * FnvPrime;
        return h;
    }
    for (const char c : name)
        h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * FnvPrime;
    return h;
}

bool SameIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    if (IsAscii(a) && IsAscii(b))
        return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
    return FoldCase(a) == FoldCase(b);
}
