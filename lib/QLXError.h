#pragma once
// The one exception type of the program: a message for the application's
// error box. Conversion failures ("'x' is not a valid integer value") and
// refused writes ("Unable to write to <path>") travel as this type to the
// single handler of the application object.

#include <QString>
#include <stdexcept>

class EQLXError : public std::runtime_error
{
public:
    explicit EQLXError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// "Unable to write to <path>": the one message for a file that could not be
// written (or read before changing it), path as the user knows it.
QString UnableToWriteText(const QString &path);

// Conversion of a text to a whole number, strictly: optional blanks are not
// accepted, an optional sign and decimal digits only, within 32 bits.
// Throws EQLXError("'<text>' is not a valid integer value") otherwise.
int StrToInt(const QString &text);
