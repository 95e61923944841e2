#pragma once
// TAboutDialog: builds and shows, on demand, a small modal window with the
// program's icon, name, version, author and copyright lines, an OK button,
// an optional hidden text revealed by a key sequence typed with Alt held,
// and the version information on a double click of the version line.

#include "UQLXComp.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>

#include <functional>

enum TDlgStyle { dsPanel, dsLine };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

using TNotifyEvent = std::function<void(QObject *Sender)>;

class TAboutDialog : public TQLXComponent
{
    Q_OBJECT
public:
    static constexpr int MaxHiddenKey = 40;

    // Defaults: left-aligned lines, the application's icon, "auteur: ",
    // "versie: ", no bevels (dsLine), the caption "Programma Informatie",
    // Arial 13 pixels, the default copyright line, ProgName the
    // application's title at this moment.
    explicit TAboutDialog(QObject *AOwner = nullptr);
    ~TAboutDialog() override;

    // Builds the window, shows it modally and destroys it again.
    void Execute();
    // Runs when the whole hidden key has been typed: OnHiddenKey when set,
    // else shows the hidden text (when there is one).
    virtual void DoHiddenKey();
    // Shows the version information (Compiler, System, Executable,
    // QLX-Library) in an information message.
    void ShowVersionInformation();

    // The about window while Execute runs, else null.
    QDialog *Window() const { return m_window; }

    Qt::Alignment Alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment Value) { m_alignment = Value; }
    bool AppIcon() const { return m_appIcon; }
    void setAppIcon(bool Value) { m_appIcon = Value; }
    QString Author() const { return m_author; }
    void setAuthor(const QString &Value) { m_author = Value; }
    TBevelCut BevelInner() const { return m_bevelInner; }
    void setBevelInner(TBevelCut Value) { m_bevelInner = Value; }
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(TBevelCut Value) { m_bevelOuter = Value; }
    int BevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int Value) { m_bevelWidth = Value; }
    QString Caption() const { return m_caption; }
    void setCaption(const QString &Value) { m_caption = Value; }
    QColor Color() const { return m_color; }
    void setColor(const QColor &Value) { m_color = Value; }
    // An empty value gives the default line with the current year.
    QString Copyright() const { return m_copyright; }
    void setCopyright(const QString &Value);
    // dsLine clears both bevels; dsPanel sets BevelInner raised and
    // BevelOuter lowered.
    TDlgStyle DlgStyle() const { return m_dlgStyle; }
    void setDlgStyle(TDlgStyle Value);
    QFont Font() const { return m_font; }
    void setFont(const QFont &Value) { m_font = Value; }
    QColor HiddenColor() const { return m_hiddenColor; }
    void setHiddenColor(const QColor &Value) { m_hiddenColor = Value; }
    // Stored cut to 40 characters and in upper case.
    QString HiddenKey() const { return m_hiddenKey; }
    void setHiddenKey(const QString &Value);
    QStringList HiddenText() const { return m_hiddenText; }
    void setHiddenText(const QStringList &Value) { m_hiddenText = Value; }
    // A null icon switches AppIcon on, any other icon switches it off.
    QIcon Icon() const { return m_icon; }
    void setIcon(const QIcon &Value);
    bool NameBold() const { return m_nameBold; }
    void setNameBold(bool Value) { m_nameBold = Value; }
    QString ProgName() const { return m_progName; }
    void setProgName(const QString &Value) { m_progName = Value; }
    QString Version() const { return m_version; }
    void setVersion(const QString &Value) { m_version = Value; }

    TNotifyEvent OnHiddenKey;
    TOnHelpEvent OnHelp;

    // The line U of a font: its size in points times 1.9, rounded half to
    // even (19 for 10 points).
    static int LineUnit(const QFont &font);
    // "copyright: (c) <year> QLX"
    static QString DefaultCopyright(int year);

private:
    friend class TAboutWindow;
    void KeyDown(int Key, Qt::KeyboardModifiers Shift);

    Qt::Alignment m_alignment = Qt::AlignLeft;
    bool m_appIcon = true;
    QString m_author;
    TBevelCut m_bevelInner = bvNone;
    TBevelCut m_bevelOuter = bvNone;
    int m_bevelWidth = 1;
    QString m_caption;
    QColor m_color;
    QString m_copyright;
    TDlgStyle m_dlgStyle = dsLine;
    QFont m_font;
    QColor m_hiddenColor;
    QString m_hiddenKey;
    QStringList m_hiddenText;
    QIcon m_icon;
    bool m_nameBold = true;
    QString m_progName;
    QString m_version;
    // How many characters of the hidden key have been typed, plus one.
    int m_matchPos = 1;
    QPointer<QDialog> m_window;
    QPointer<QPlainTextEdit> m_hiddenBox;
};
