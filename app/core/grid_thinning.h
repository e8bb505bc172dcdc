#pragma once
// A grid too large to draw node by node (a million-node surface stalls a
// software-rendered 3-D view) is shown by every k-th node along each axis.

namespace sorvan::core {

// The smallest step k >= 1 with ceil(nx / k) * ceil(ny / k) <= maximo
// (nx, ny >= 1, maximo >= 1): the nodes 0, k, 2k... of each axis are drawn.
int ThinningStride(long long nx, long long ny, long long maximum);

}  // namespace sorvan::core
