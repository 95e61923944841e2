#include "MainSearch.h"

#include "MusicGrid.h"
#include "SongList.h"
#include "SongSearch.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

TMainSearch::TMainSearch(const Parts &parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
{
    m_parts.edtFind->installEventFilter(this);
    connect(m_parts.edtFind, &QLineEdit::textChanged, this, &TMainSearch::FindChange);
    connect(m_parts.cbxArtist, &QComboBox::activated, this, &TMainSearch::ArtistClick);
}

void TMainSearch::FindNext()
{
    const QString text = m_parts.edtFind->text();
    m_parts.bbtFind->setText(QStringLiteral("&Find next"));
    const int row = SongSearch::FindFrom(*m_parts.songs, m_searchStartRow, text);
    if (row > 0) {
        m_parts.sgrMusic->setRow(row);
        m_searchStartRow = row + 1;
        return;
    }
    ++m_beeps;
    QApplication::beep();
    ResetFind();
}

void TMainSearch::ResetFind()
{
    m_searchStartRow = 1;
    m_parts.bbtFind->setText(QStringLiteral("&Find first"));
}

void TMainSearch::FindChange()
{
    m_parts.bbtFind->setEnabled(!m_parts.edtFind->text().isEmpty());
    m_keyNavigation = false;
    ResetFind();
}

bool TMainSearch::FindKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const int c = m_parts.sgrMusic->Row();
    const int last = m_parts.songs->RowCount() - 1;
    const bool ctrlAlone = (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier;
    int row;
    switch (key) {
    case Qt::Key_PageUp:
        row = qMax(1, c - PageRows);
        break;
    case Qt::Key_PageDown:
        row = qMin(last, c + PageRows);
        break;
    case Qt::Key_Up:
        row = qMax(1, c - 1);
        break;
    case Qt::Key_Down:
        row = qMin(last, c + 1);
        break;
    case Qt::Key_Home:
        if (!ctrlAlone)
            return false;
        row = 1;
        break;
    case Qt::Key_End:
        if (!ctrlAlone)
            return false;
        row = last;
        break;
    default:
        return false;
    }
    m_parts.sgrMusic->setRow(row);
    m_keyNavigation = true;
    return true;
}

void TMainSearch::FindKeyPress()
{
    m_parts.ButtonsClick(m_keyNavigation ? m_parts.play : m_parts.bbtFind);
    m_parts.edtFind->setSelection(0, int(m_parts.edtFind->text().size()));
    m_keyNavigation = false;
}

void TMainSearch::ArtistClick(int index)
{
    m_parts.edtFind->setText(m_parts.cbxArtist->itemText(index));
    m_parts.ButtonsClick(m_parts.bbtFind);
    m_parts.edtFind->setText(QString());
}

bool TMainSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_parts.edtFind && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter alone, or with Shift, as the field's character 13; other
            // combinations are not Enter to the field.
            const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
            if (mods != Qt::NoModifier)
                return false;
            FindKeyPress();
            return true;
        }
        return FindKeyDown(key->key(), key->modifiers());
    }
    return QObject::eventFilter(watched, event);
}
