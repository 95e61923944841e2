#pragma once
// Lyrics as plain text for the details dialog: those of a .lrc file (lyrics
// with time stamps, kept beside the song) and the layout they share with the
// lyrics a song's tags hold. The text has its lines separated by "\n": the
// dialog's lyrics box takes it so (ReadLyrics' lines joined by "\n") and
// writes "\r\n" to the song information file itself.

#include <QByteArray>
#include <QString>
#include <QStringList>

// The plain lyrics of a .lrc file: time stamps ("[mm:ss]", "[mm:ss.xx]",
// "[mm:ss:xx]") and word stamps ("<mm:ss.xx>") removed, header lines
// ("[ar:Artist]", "[offset:+200]", any "[word:...]") left out, a line with
// nothing but stamps an empty line, lines ordered by their stamps. Text is
// UTF-8, else Windows-1252 line by line (after a UTF-8 byte-order mark), or
// UTF-16 after its byte-order mark.
QString LrcLyrics(const QByteArray &bytes);

// Lines as lyrics text: joined by "\n", each without its trailing blanks,
// empty lines at the start and at the end left out.
QString LyricsText(QStringList lines);

// The .lrc file beside the song at songPath (raw file-name bytes): the same
// name with its last extension replaced by ".lrc", else by ".LRC", when that
// is a regular file (or a link to one); empty when neither is. Two stat calls
// at most and no directory listing, so a scan may ask for every song; a
// mixed spelling such as ".Lrc" is not found.
QByteArray LrcPathFor(const QByteArray &songPath);
