#pragma once
// Titles seen playing during this run of the program. Membership ignores
// letter case; the list only grows.

#include <QSet>
#include <QString>

class TPlayedList
{
public:
    bool contains(const QString &title) const { return m_titles.contains(title.toCaseFolded()); }
    // Adds title; false when it was already there.
    bool add(const QString &title)
    {
        const QString key = title.toCaseFolded();
        if (m_titles.contains(key))
            return false;
        m_titles.insert(key);
        return true;
    }
    qsizetype count() const { return m_titles.size(); }

private:
    QSet<QString> m_titles;
};
