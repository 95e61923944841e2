#include "CacheText.h"

namespace CacheText
{

void Escape(QByteArrayView text, QByteArray &out)
{
    for (const char c : text) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
}

bool NeedsEscape(QByteArrayView text)
{
    for (const char c : text)
        if (c == '\t' || c == '\n' || c == '\r' || c == '\\')
            return true;
    return false;
}

bool Unescape(QByteArrayView field, QByteArray &out)
{
    out.clear();
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            return false;
        }
    }
    return true;
}

bool ReadText(QByteArrayView field, QString &out, QByteArray &scratch)
{
    if (Find(field, '\\') < 0) {
        out = QString::fromUtf8(field);
        return true;
    }
    if (!Unescape(field, scratch))
        return false;
    out = QString::fromUtf8(scratch);
    return true;
}

bool SplitFields(QByteArrayView line, QByteArrayView *fields, int n)
{
    qsizetype start = 0;
    for (int k = 0; k < n - 1; ++k) {
        const qsizetype tab = Find(line, '\t', start);
        if (tab < 0)
            return false;
        fields[k] = line.sliced(start, tab - start);
        start = tab + 1;
    }
    if (Find(line, '\t', start) >= 0)
        return false;
    fields[n - 1] = line.sliced(start);
    return true;
}

} // namespace CacheText
