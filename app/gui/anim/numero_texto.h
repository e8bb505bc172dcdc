#pragma once
// Numbers typed in the animation dialogs and prompts.
#include <QString>

// The value of the longest numeric prefix of `texto` (leading blanks, a sign,
// digits with a period as decimal separator, an exponent), whatever the
// user's locale; 0 when the text does not start with a number.
double ValorNumerico(const QString& texto);

// The frame rate typed in a "Frames/seg." box: ValorNumerico rounded to an
// integer with ties to even ("2.5" gives 2, "3.5" gives 4), kept within the
// 16-bit range; the video writer later brings it into 1 ... 30.
int FotogramasPorSegundo(const QString& texto);
