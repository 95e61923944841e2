#include "PortalPath.h"

#include "FIL_Func.h"

QByteArray PortalDocumentId(const QByteArray &path)
{
    QByteArray id, rest;
    return PortalDocument(path, id, rest) ? id : QByteArray();
}

QByteArray PortalDocumentFolder(const QByteArray &answer)
{
    QByteArray host = answer;
    if (host.endsWith('\0'))
        host.chop(1);
    const qsizetype slash = host.lastIndexOf('/');
    if (slash < 0 || host.contains('\0'))
        return QByteArray();
    return host.left(slash);
}
