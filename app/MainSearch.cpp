#include "MainSearch.h"

#include "MusicGrid.h"
#include "SongSearch.h"
#include "UDSCMain.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

TMainSearch::TMainSearch(TfrmMain &form)
    : QObject(&form)
    , m_form(form)
{
    form.edtFind->installEventFilter(this);
    connect(form.edtFind, &QLineEdit::textChanged, this, &TMainSearch::FindChange);
    connect(form.cbxArtist, &QComboBox::activated, this, &TMainSearch::ArtistClick);
}

void TMainSearch::FindNext()
{
    const QString text = m_form.edtFind->text();
    m_form.bbtFind->setText(QStringLiteral("&Find next"));
    const int row = SongSearch::FindFrom(m_form.songs(), m_searchStartRow, text);
    if (row > 0) {
        m_form.sgrMusic->setRow(row);
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
    m_form.bbtFind->setText(QStringLiteral("&Find first"));
}

void TMainSearch::FindChange()
{
    m_form.bbtFind->setEnabled(!m_form.edtFind->text().isEmpty());
    m_keyNavigation = false;
    ResetFind();
}

bool TMainSearch::FindKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const int c = m_form.sgrMusic->Row();
    const int last = m_form.songs().RowCount() - 1;
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
    m_form.sgrMusic->setRow(row);
    m_keyNavigation = true;
    return true;
}

void TMainSearch::FindKeyPress()
{
    m_form.ButtonsClick(m_keyNavigation ? static_cast<QObject *>(m_form.spbPlay) : m_form.bbtFind);
    m_form.edtFind->setSelection(0, int(m_form.edtFind->text().size()));
    m_keyNavigation = false;
}

void TMainSearch::ArtistClick(int index)
{
    m_form.edtFind->setText(m_form.cbxArtist->itemText(index));
    m_form.ButtonsClick(m_form.bbtFind);
    m_form.edtFind->setText(QString());
}

bool TMainSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_form.edtFind && event->type() == QEvent::KeyPress) {
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
