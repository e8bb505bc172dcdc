#pragma once
// Equality of the kriging options the dialogs show and hand on (the fitting
// method, its starting values and the profile left out).
#include "core/kriging_options.h"

using namespace sorvan::core;

namespace test_data {

inline bool SameOptions(const sorvan::core::OpcionesKriging& a, const sorvan::core::OpcionesKriging& b) {
  return a.Media == b.Media && a.Modelo == b.Modelo && a.Estimador == b.Estimador && a.LongVar == b.LongVar &&
         a.NApor == b.NApor && a.SaltoIni == b.SaltoIni && a.RSalto == b.RSalto && a.NSaltos == b.NSaltos &&
         a.NAjus == b.NAjus && a.NMinAjus == b.NMinAjus && a.NRx == b.NRx && a.NRy == b.NRy &&
         a.MinRx == b.MinRx && a.MinRy == b.MinRy && a.LRx == b.LRx && a.LRy == b.LRy &&
         a.VerSupPred == b.VerSupPred && a.VerSupVar == b.VerSupVar && a.VerAjuste == b.VerAjuste &&
         a.VerEstimadores == b.VerEstimadores;
}

}  // namespace prueba
