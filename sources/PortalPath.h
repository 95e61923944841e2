#pragma once
// The Documents portal's side of a song lent to a sandbox: the ID in the
// portal's path for it, and where the portal's answer to Info puts the
// document on this machine. The path itself is cut by PortalDocument
// (FIL_Func), which the sweep of /proc in lib uses as well.

#include <QByteArray>

// The document ID of a path the portal lends (/run/user/UID/doc/ID/... or
// /run/flatpak/doc/ID/...), or an empty array for any other path.
QByteArray PortalDocumentId(const QByteArray &path);

// The folder that holds the document, from the portal's answer to Info: the
// document's own path, NUL-ended (a file lent shows as ID/its name, so its
// folder is the path without the name). A null array when the answer names
// no such folder.
QByteArray PortalDocumentFolder(const QByteArray &answer);
