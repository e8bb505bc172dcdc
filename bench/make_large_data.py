#!/usr/bin/env python3
"""Writes a large synthetic data set for timing the desktop program.

    bench/make_large_data.py N OUT_STEM     ->  OUT_STEM.dae and OUT_STEM.csv

N points scattered over a 1000 x 1000 m field; z is a smooth surface (two
waves and a trend) plus noise, so that kriging has structure to find. Fixed
seed: the same N gives the same files. The files are not kept in the
repository (10^6 points make some 24 MB each).
"""
import math
import random
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit("uso: make_large_data.py N SALIDA (escribe SALIDA.dae y SALIDA.csv)")
    n = int(sys.argv[1])
    stem = sys.argv[2]
    rnd = random.Random(1)
    rows = []
    for _ in range(n):
        x = rnd.uniform(0.0, 1000.0)
        y = rnd.uniform(0.0, 1000.0)
        z = (50.0 + 0.02 * x + 10.0 * math.sin(x / 120.0) * math.cos(y / 90.0)
             + rnd.gauss(0.0, 1.0))
        rows.append("%.3f,%.3f,%.4f\n" % (x, y, z))
    with open(stem + ".dae", "w", newline="\n") as f:
        f.write('"Campo sintético de %d puntos"\n3,%d\n' % (n, n))
        f.write('"x","Este (m)",0\n"y","Norte (m)",0\n"z","Valor sintético",0\n')
        f.writelines(rows)
    with open(stem + ".csv", "w", newline="\n") as f:
        f.write("x,y,z\n")
        f.writelines(rows)


if __name__ == "__main__":
    main()
