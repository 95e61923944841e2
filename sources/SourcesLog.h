#pragma once
// The debug log of the sources of plays beside the sweep (players on the
// session bus, MPD): off unless asked for with
// QT_LOGGING_RULES="discora.sources.debug=true".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSources)
