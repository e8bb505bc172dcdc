#pragma once
namespace kriging {
// Machine constants of 32-bit floats (reports as "AMACH"): 1 smallest normalized,
// 2 largest finite, 3 smallest relative spacing 2^-24, 4 largest relative spacing
// 2^-23, 5 log10(2), 6 quiet NaN, 7 +infinity, 8 -infinity. Other k: terminal
// error 5 and NaN.
float MachineConstant(int k);
}  // namespace kriging
