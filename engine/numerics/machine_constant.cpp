#include "numerics/machine_constant.h"

#include <limits>

#include "numerics/error_service.h"

namespace kriging {

float MachineConstant(int k) {
  using limits = std::numeric_limits<float>;
  switch (k) {
    case 1: return limits::min();
    case 2: return limits::max();
    case 3: return limits::epsilon() / 2;
    case 4: return limits::epsilon();
    case 5: return 0.30102999566398120f;
    case 6: return limits::quiet_NaN();
    case 7: return limits::infinity();
    case 8: return -limits::infinity();
    default: break;
  }
  ServiceCall call("AMACH");
  MessageValues v;
  v.i1 = k;
  ReportError(5, 5, FormatMessage("The argument must be between 1 and 8 inclusive. N = %(I1)", v));
  return limits::quiet_NaN();
}

}  // namespace kriging
