#pragma once
// TBoxLabel: a read-only label drawn inside a sunken or raised box, an etched
// frame or a two-tone line on one side. It never takes the focus; its "&"
// accelerator hands the focus to an associated control, as a plain label does.

#include <QPointer>
#include <QString>
#include <QWidget>

class QPainter;

// Which of the two frame colours goes where.
enum TBoxLabelStyle { blNoStyle, blLowered, blRaised };
// Which frame lines are drawn.
enum TBoxLabelShape { blNoShape, blBox, blFrame, blTopLine, blBottomLine, blLeftLine, blRightLine };

// Colours: the text is the palette's foregroundRole() (WindowText), the fill
// its backgroundRole() (Window); the frame uses Dark as the shadow and Light as
// the highlight. These come from the label's own palette in the Active group,
// so like system colours they do not change when the label is disabled or its
// window loses activation. A disabled label draws its text in the application
// palette's Disabled/Text colour (the desktop's grey text), whatever colour the
// label's own palette gives its text.
class TBoxLabel : public QWidget
{
    Q_OBJECT
public:
    // A label at (-1, -1), 100 x 17 pixels, lowered box, left-aligned, text
    // centred vertically with the 4-pixel space prefix, "&" accelerators on.
    explicit TBoxLabel(QWidget *AOwner = nullptr);
    ~TBoxLabel() override;

    QString Caption() const { return m_caption; }
    void setCaption(const QString &Value);

    // Only the horizontal part counts: Qt::AlignLeft, Qt::AlignRight or
    // Qt::AlignHCenter; anything else is taken as left.
    Qt::Alignment Alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment Value);

    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool Value);

    // BorderStyle is blNoStyle exactly when BorderShape is blNoShape: setting
    // either one to "none" clears the other, and setting either one away from
    // "none" gives the other its default (blLowered, blBox) when it was none.
    TBoxLabelShape BorderShape() const { return m_borderShape; }
    void setBorderShape(TBoxLabelShape Value);
    TBoxLabelStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBoxLabelStyle Value);

    // The text band is one line high and centred in the label, instead of
    // starting at the top.
    bool CenterVertical() const { return m_centerVertical; }
    void setCenterVertical(bool Value);

    // Not owned; becomes null when that control is destroyed.
    QWidget *FocusControl() const { return m_focusControl; }
    void setFocusControl(QWidget *Value);

    // On: "&x" underlines x and makes Alt+x move the focus to FocusControl,
    // "&&" shows one "&". Off: every "&" is shown as it is.
    bool ShowAccelChar() const { return m_showAccelChar; }
    void setShowAccelChar(bool Value);

    // 4 extra pixels between the text and the frame on the aligned side
    // (none for centred text).
    bool SpacePrefix() const { return m_spacePrefix; }
    void setSpacePrefix(bool Value);

    // A transparent label paints no background: its parent shows through.
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool Value);

    // Word wrap when sizing for AutoSize; painting always breaks at words.
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool Value);

    // The size AutoSize gives the label: its text with the insets around it.
    QSize sizeHint() const override;

protected:
    // Places the caption in Rect (the label's client rectangle on entry) and
    // draws it with Painter, clipped to the text rectangle; Rect becomes that
    // rectangle. Flags are Qt::AlignmentFlag and Qt::TextFlag values. With a
    // null Painter nothing is drawn and Rect's size becomes the extent of the
    // text (an empty caption measures as one blank, so it is one line high).
    void DoDrawText(QRect &Rect, int Flags, QPainter *Painter) const;
    // With AutoSize on, resizes the label to its text; a right-aligned label
    // keeps its right edge, the others their left edge.
    void AdjustBounds();

    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void changeEvent(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    void updateShortcut();
    bool focusControlCanTakeFocus() const;
    QSize textBoundsSize() const;

    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    TBoxLabelStyle m_borderStyle = blLowered;
    TBoxLabelShape m_borderShape = blBox;
    QPointer<QWidget> m_focusControl;
    QMetaObject::Connection m_focusControlDestroyed;
    int m_shortcutId = 0;
    bool m_spacePrefix = true;
    bool m_centerVertical = true;
    bool m_autoSize = false;
    bool m_wordWrap = false;
    bool m_showAccelChar = true;
    bool m_transparent = false;
};
