#include "Mnemonics.h"

QString WithoutMnemonics(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'&' && ++i == text.size())
            break;
        out += text.at(i);
    }
    return out;
}
