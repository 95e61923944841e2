#pragma once
// Captions with "&" marks, as labels and message boxes show them: "&x"
// underlines x and makes it the shortcut, "&&" shows one "&".

#include <QString>

// The caption as it reads aloud, without its marks: "&x" gives "x", "&&"
// gives "&", and an "&" at the very end is dropped.
QString WithoutMnemonics(const QString &text);
