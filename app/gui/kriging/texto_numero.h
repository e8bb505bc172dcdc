#pragma once
// How the kriging dialogs show numbers in their text boxes and read them back.
// One decimal separator, the period, is used both ways whatever the user's
// locale, so that a value shown and read back unchanged stays the same value.
#include <QString>
#include <optional>

// A distance or coordinate in the format "#####0.000": at least one integer
// digit, exactly three decimals, no grouping, period as separator.
QString FormatoDistancia(double valor);

// An integer shown plainly ("12", "-3").
QString FormatoEntero(long long valor);

// The value of the longest numeric prefix of `texto`: leading blanks, an
// optional sign, digits with an optional period and decimals, an optional
// exponent ("1.5e3"). Empty or non-numeric text reads as 0; "12,5" reads as 12.
double LeeNumero(const QString& texto);

// LeeNumero rounded to the nearest integer, halves to even (2.5 -> 2,
// 3.5 -> 4). Empty when the value does not fit a 32-bit integer.
std::optional<int> LeeEntero(const QString& texto);
