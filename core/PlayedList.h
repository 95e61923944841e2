#pragma once
// Titles seen playing during this run of the program (in a tree library,
// songs by their path). Membership ignores letter case; the list only grows,
// but for songs that were renamed.

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
    // A song that was played and then renamed stays played under its new
    // name, and its old name is free for another song.
    void rename(const QString &from, const QString &to)
    {
        if (m_titles.remove(from.toCaseFolded()))
            m_titles.insert(to.toCaseFolded());
    }

private:
    QSet<QString> m_titles;
};
