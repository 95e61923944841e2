#include "FQLXLogF.h"

#include "DTM_Func.h"
#include "FIL_Func.h"
#include "FileWrite.h"
#include "MIS_Func.h"
#include "MSG_Func.h"
#include "QLXError.h"
#include "QLXWindow.h"
#include "STR_Func.h"
#include "TextCodec.h"
#include "TextLines.h"
#include "UQLXMemo.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScreen>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

constexpr int SectionLength = 20;

const QString &ruler()
{
    static const QString r = u" "_s + QString(10, u'-') + u' ' + QString(5, u'-') + u' ' + QString(40, u'-');
    return r;
}

bool isFile(const QString &name)
{
    return !name.isEmpty() && QFileInfo(name).isFile();
}

// Appends line and CR LF; a last line without its line end gets one first,
// so the new entry never runs on from it.
bool appendToFile(const QString &fileName, const QByteArray &line)
{
    const int fd
        = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    QByteArray bytes;
    struct stat st;
    char last = '\n';
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    if (st.st_size > 0) {
        const int rfd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (rfd >= 0) {
            if (::pread(rfd, &last, 1, st.st_size - 1) != 1)
                last = '\n';
            ::close(rfd);
        }
    }
    if (last != '\n' && last != '\r')
        bytes += "\r\n";
    bytes += line;
    bytes += "\r\n";
    const bool written = WriteAll(fd, bytes);
    // A disk that fills up half-way: the part that went in comes out again,
    // so that the same entries written later are not preceded by a torn
    // copy of themselves.
    if (!written && ::ftruncate(fd, st.st_size) != 0) {
        // Left as it is: the next entry still starts on a line of its own.
    }
    return (::close(fd) == 0) && written;
}

// Cuts lines the text area could not lay out in reasonable time.
QStringList takeLines(const QByteArray &bytes, bool &complete)
{
    QStringList lines = SplitTextLines(DecodeText(bytes));
    for (QString &line : lines) {
        if (line.size() > TQLXLogFile::MaxLineLength) {
            line.truncate(TQLXLogFile::MaxLineLength);
            complete = false;
        }
    }
    return lines;
}

} // namespace

TQLXLogFile::TQLXLogFile(QObject *AOwner)
    : TQLXComponent(AOwner)
    , m_font(u"Courier New"_s, 8)
    , m_caption(u"Log-bestand"_s)
    , m_section(u"LogFile"_s)
{
    ComponentVersion = u"4.2.00"_s;
    ComponentDate = u"22-11-2000"_s;
}

TQLXLogFile::~TQLXLogFile() = default;

void TQLXLogFile::takeSection(const QString &prefix)
{
    m_section = (prefix + objectName()).left(SectionLength);
}

void TQLXLogFile::setLogFile(const QString &Value)
{
    if (StrTrim(Value).isEmpty())
        return;
    const QString name = Value; // Value may be our own member
    if (!QFileInfo::exists(name)) {
        // A bare name lies in the current folder, which exists already.
        const QString creatable = name.contains(u'/') ? name : u"./"_s + name;
        try {
            CreateEmptyFile(creatable);
        } catch (const EQLXError &) {
            return;
        }
    }
    if (!isFile(name))
        return;
    m_viewFile.clear();
    m_logFile = name;
    LoadLog();
    m_viewMode = false;
    takeSection(u"LogFile-"_s);
}

void TQLXLogFile::setViewFile(const QString &Value)
{
    const QString name = Value;
    if (!isFile(name))
        return;
    QByteArray bytes;
    bool complete = true;
    if (!ReadHeadOfFile(name, MaxTextBytes, bytes, complete))
        throw EQLXError(u"Unable to read %1"_s.arg(name));
    m_logFile.clear();
    m_viewFile = name;
    m_lines = takeLines(bytes, complete);
    m_complete = complete;
    m_viewMode = true;
    takeSection(u"ViewFile-"_s);
}

void TQLXLogFile::setMaxRecords(int Value)
{
    // Nothing sensible keeps fewer than one entry; 0 and below mean the default.
    m_maxRecords = Value > 0 ? Value : DefaultMaxRecords;
}

void TQLXLogFile::setLogReverse(bool Value)
{
    if (Value == m_logReverse)
        return;
    m_logReverse = Value;
    LoadLog();
}

void TQLXLogFile::LoadLog()
{
    if (!isFile(m_logFile))
        return;
    const QByteArray path = QFile::encodeName(m_logFile);
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes))
        throw EQLXError(u"Unable to read %1"_s.arg(m_logFile));
    if (double(CountLines(bytes)) > m_maxRecords * 1.1) {
        bytes = LastLines(bytes, m_maxRecords);
        WriteFileAtomic(path, bytes);
    }
    bool complete = true;
    // Newest first: what does not fit is the oldest part.
    const QStringList entries = takeLines(TakeLines(bytes, MaxTextBytes, m_logReverse, complete), complete);
    m_lines = QStringList { QString(), u" Date       Time  Action"_s, ruler() };
    m_lines.reserve(entries.size() + 4);
    if (m_logReverse) {
        for (auto it = entries.crbegin(); it != entries.crend(); ++it)
            m_lines.append(*it);
    } else {
        m_lines.append(entries);
    }
    m_lines.append(ruler());
    m_complete = complete;
}

bool TQLXLogFile::AppendLine(const QString &Line)
{
    if (!isFile(m_logFile))
        return false;
    // A failed append leaves the file and the shown lines as they were.
    if (!appendToFile(m_logFile, EncodeText(Line)))
        return false;
    LoadLog();
    return true;
}

bool TQLXLogFile::AddEntry(const QString &Action)
{
    return AddEntries({ Action });
}

QString TQLXLogFile::EntryLine(const QString &Action, const QDateTime &At)
{
    return u' ' + DateTimeToStrDMY(DateTimeFromQt(At)) + u' ' + Action;
}

bool TQLXLogFile::AddEntries(const QStringList &Actions)
{
    const QDateTime now = QDateTime::currentDateTime();
    QStringList lines;
    lines.reserve(Actions.size());
    for (const QString &action : Actions)
        lines.append(EntryLine(action, now));
    return AddLines(lines);
}

bool TQLXLogFile::AddLines(const QStringList &Lines)
{
    if (Lines.isEmpty())
        return true;
    return AppendLine(Lines.join(u"\r\n"_s));
}

void TQLXLogFile::ClearLog()
{
    if (!isFile(m_logFile))
        return;
    m_lines.clear();
    WriteFileAtomic(QFile::encodeName(m_logFile), QByteArray());
    AddEntry(u"Logfile cleared."_s);
}

void TQLXLogFile::readGeometry(TfrmLogFile &form, const QPoint &centred) const
{
    const QStringList values = IniReadStrings(m_section, { u"Top"_s, u"Left"_s, u"Height"_s, u"Width"_s },
        { QString::number(centred.y()), QString::number(centred.x()),
            QString::number(TfrmLogFile::DesignHeight), QString::number(TfrmLogFile::DesignWidth) },
        INIFile);
    // The stored size is the outer one, as the window is shown.
    try {
        form.move(form.x(), StrToInt(values[0]));
        form.move(StrToInt(values[1]), form.y());
        SetOuterSize(&form, QSize(OuterSize(&form).width(), StrToInt(values[2])));
        SetOuterSize(&form, QSize(StrToInt(values[3]), OuterSize(&form).height()));
    } catch (const EQLXError &) {
        form.move(centred);
    }
}

void TQLXLogFile::writeGeometry(const TfrmLogFile &form) const
{
    const QSize outer = OuterSize(&form);
    try {
        IniWriteStrings(m_section,
            { { u"Top"_s, QString::number(form.y()) }, { u"Left"_s, QString::number(form.x()) },
                { u"Height"_s, QString::number(outer.height()) },
                { u"Width"_s, QString::number(outer.width()) } },
            INIFile);
    } catch (const EQLXError &) {
        MsgInfo(u"Can\u00B4t save the settings in "_s + MsgLiteral(INIFile), u"Writeprotection"_s);
    }
}

void TQLXLogFile::Execute()
{
    TfrmLogFile form(QApplication::activeWindow());
    form.PrintEvent = [this](QObject *Sender, bool &Continue) {
        if (OnPrint)
            OnPrint(Sender, Continue);
        else
            Continue = true;
    };
    form.HelpEvent = OnHelp;
    form.PrinterSource = PrinterSource;
    form.imeText->setFont(m_font);

    // Reload whatever file is current; a vanished log file is made anew.
    setViewFile(m_viewFile);
    setLogFile(m_logFile);
    if (!m_logFile.isEmpty())
        form.FileName = m_logFile;
    if (!m_viewFile.isEmpty())
        form.FileName = m_viewFile;

    const QRect screen = form.screen()->geometry();
    const QSize outer = OuterSize(&form);
    const QPoint centred(screen.x() + (screen.width() - outer.width()) / 2,
        screen.y() + (screen.height() - outer.height()) / 2);
    form.bbtPrint->setVisible(ShowPrintBtn);
    form.bbtPrint->setEnabled(ShowPrintBtn);
    form.bbtClear->setVisible(!m_viewMode && ShowClearBtn);
    form.setWindowTitle(m_caption);

    form.setLines(m_lines);
    if (!m_complete)
        MsgWarning(u"The file is too large to read\r\n"_s + MsgLiteral(form.FileName), u"File too large"_s);

    if (INIFile.isEmpty())
        form.move(centred);
    else
        readGeometry(form, centred);

    if (form.exec() == TfrmLogFile::ResultClear) {
        ClearLog();
        form.setLines(m_lines);
        form.exec();
    }
    if (!INIFile.isEmpty())
        writeGeometry(form);
}
