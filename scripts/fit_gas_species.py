#!/usr/bin/env python3
"""Fits the gas species of the sample project's gas file (Ferrolyt.GAS).

Reads NASA-9 polynomials (data-sources/gas-species-nasa9.csv, copied from
the NASA Glenn database, McBride, Zehe & Gordon, NASA/TP-2002-211556) and
fits, per species, the seven-term reduced Gibbs energy

    Phi(x) = p1 + p2 ln x + p3 / x^2 + p4 / x + p5 x + p6 x^2 + p7 x^3,
    x = T / 10000,   G(T) = H0 - T Phi(T)

over 298.15-3000 K, with H0 = the enthalpy of formation at 298.15 K, so that
every species sits on the one enthalpy scale of the NASA tables (elements in
their reference states at 298.15 K have H = 0). The standard pressure is
converted from 1 bar to 1 atm, the pressure unit of the program.

The fit minimises the error in G (rows weighted by T) by Householder QR in
plain Python. Writes the species lines of the gas file
(data-sources/utf8/Ferrolyt.GAS) and the fit errors
(data-sources/gas-fit-errors.txt), and prints the errors.

Pure standard library; run from anywhere:  python3 scripts/fit_gas_species.py
"""

import csv
import math
import os
import re

R_TABLE = 8.314510          # gas constant of the NASA tables, J/(mol K)
P_ATM_OVER_BAR = 1.01325
T_FIT_LOW, T_FIT_HIGH = 298.15, 3000.0
T_CHECK = 1873.15

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SOURCES = os.path.join(ROOT, "data-sources")
TABLE = os.path.join(SOURCES, "gas-species-nasa9.csv")
GAS_OUT = os.path.join(SOURCES, "utf8", "Ferrolyt.GAS")
ERR_OUT = os.path.join(SOURCES, "gas-fit-errors.txt")

GAS_TITLE = ("Gas species. NASA Glenn polynomials (McBride, Zehe, Gordon, NASA/TP-2002-211556, "
             "data of Gurvich et al. and NIST-JANAF 1998) refitted to Phi(x), x=T/1e4, 298-3000 K; "
             "H0 = enthalpy of formation at 298.15 K, kJ/mol; standard pressure 1 atm")


class Species:
    def __init__(self, row):
        self.name = row["species"]
        self.composition = parse_composition(row["composition"])
        self.ranges = []
        for p in ("r1", "r2"):
            lo = float(row[p + "_Tlow_K"])
            hi = float(row[p + "_Thigh_K"])
            a = [float(row["%s_a%d" % (p, k)]) for k in range(1, 8)]
            b = [float(row[p + "_b1"]), float(row[p + "_b2"])]
            self.ranges.append((lo, hi, a, b))
        self.source = "%s line %s" % (row["source_file"], row["source_line"])

    def _range(self, T):
        for lo, hi, a, b in self.ranges:
            if T <= hi:
                return a, b
        return self.ranges[-1][2], self.ranges[-1][3]

    def h(self, T):
        """H(T), J/mol, on the enthalpy-of-formation scale."""
        a, b = self._range(T)
        h_rt = (-a[0] / T ** 2 + a[1] * math.log(T) / T + a[2] + a[3] * T / 2 + a[4] * T ** 2 / 3
                + a[5] * T ** 3 / 4 + a[6] * T ** 4 / 5 + b[0] / T)
        return h_rt * R_TABLE * T

    def s(self, T):
        """S(T), J/(mol K), at 1 bar."""
        a, b = self._range(T)
        s_r = (-a[0] / T ** 2 / 2 - a[1] / T + a[2] * math.log(T) + a[3] * T + a[4] * T ** 2 / 2
               + a[5] * T ** 3 / 3 + a[6] * T ** 4 / 4 + b[1])
        return s_r * R_TABLE

    def g_atm(self, T):
        """G(T), J/mol, at 1 atm."""
        return self.h(T) - T * self.s(T) + R_TABLE * T * math.log(P_ATM_OVER_BAR)


def parse_composition(text):
    out = []
    for token in text.split():
        m = re.fullmatch(r"([A-Z][a-z]?)(\d+)", token)
        if not m:
            raise ValueError("composition token %r" % token)
        out.append((m.group(1), int(m.group(2))))
    return out


def basis(T):
    x = T * 1e-4
    return [1.0, math.log(x), 1.0 / x ** 2, 1.0 / x, x, x ** 2, x ** 3]


def least_squares(rows, rhs):
    """Householder QR least squares; columns are scaled first."""
    m, n = len(rows), len(rows[0])
    scale = [math.sqrt(sum(r[j] ** 2 for r in rows)) or 1.0 for j in range(n)]
    A = [[r[j] / scale[j] for j in range(n)] for r in rows]
    b = list(rhs)
    for k in range(n):
        norm = math.sqrt(sum(A[i][k] ** 2 for i in range(k, m)))
        if norm == 0.0:
            continue
        alpha = -norm if A[k][k] >= 0 else norm
        v = [0.0] * m
        v[k] = A[k][k] - alpha
        for i in range(k + 1, m):
            v[i] = A[i][k]
        vv = sum(v[i] ** 2 for i in range(k, m))
        if vv == 0.0:
            continue
        for j in range(k, n):
            d = 2.0 * sum(v[i] * A[i][j] for i in range(k, m)) / vv
            for i in range(k, m):
                A[i][j] -= d * v[i]
        d = 2.0 * sum(v[i] * b[i] for i in range(k, m)) / vv
        for i in range(k, m):
            b[i] -= d * v[i]
    x = [0.0] * n
    for k in range(n - 1, -1, -1):
        x[k] = (b[k] - sum(A[k][j] * x[j] for j in range(k + 1, n))) / A[k][k]
    return [x[j] / scale[j] for j in range(n)]


def fit_grid():
    grid = [T_FIT_LOW] + [float(T) for T in range(300, int(T_FIT_HIGH) + 1, 10)]
    return grid


def phi_value(coef, T):
    return sum(c * f for c, f in zip(coef, basis(T)))


def fit_species(sp):
    """Returns (H0 in J/mol, seven coefficients, error statistics)."""
    h0 = sp.h(298.15)
    grid = fit_grid()
    rows, rhs = [], []
    for T in grid:
        phi = -(sp.g_atm(T) - h0) / T
        rows.append([T * f for f in basis(T)])
        rhs.append(T * phi)
    coef = least_squares(rows, rhs)
    errs = []
    for T in grid:
        g_fit = h0 - T * phi_value(coef, T)
        errs.append((abs(g_fit - sp.g_atm(T)), T))
    max_err, at_t = max(errs)
    rms = math.sqrt(sum(e * e for e, _ in errs) / len(errs))
    check = h0 - T_CHECK * phi_value(coef, T_CHECK) - sp.g_atm(T_CHECK)
    return h0, coef, {"max": max_err, "at": at_t, "rms": rms, "at1873": check}


def load_species(path=TABLE):
    with open(path, newline="", encoding="utf-8") as f:
        return [Species(row) for row in csv.DictReader(f)]


def gas_line(sp, h0, coef):
    """One species line in the gas file's fixed layout."""
    h0_kj = round(h0 / 1000.0, 4) + 0.0  # + 0.0 turns -0.0 into 0.0
    nums = " ".join("%.10e" % c for c in coef) + " %.4f" % h0_kj
    parts = list(sp.composition) + [("", 0)] * (4 - len(sp.composition))
    groups = "".join("%-3s %d" % (" " + sym if sym else "", nu) for sym, nu in parts)
    return "%s 298 3000 %d%s %-7s" % (nums, len(sp.composition), groups, sp.name)


def fitted_gibbs(results):
    """Species name -> function G(T) in J/mol of the fitted polynomial."""
    out = {}
    for sp, h0, coef, _ in results:
        out[sp.name] = (lambda h0=h0, coef=coef: (lambda T: h0 - T * phi_value(coef, T)))()
    return out


def run(write=True, verbose=True):
    results = []
    for sp in load_species():
        h0, coef, err = fit_species(sp)
        results.append((sp, h0, coef, err))
    if write:
        os.makedirs(os.path.dirname(GAS_OUT), exist_ok=True)
        with open(GAS_OUT, "w", encoding="utf-8", newline="\n") as f:
            f.write(GAS_TITLE + "\n")
            for sp, h0, coef, _ in results:
                f.write(gas_line(sp, h0, coef) + "\n")
        with open(ERR_OUT, "w", encoding="utf-8", newline="\n") as f:
            f.write("Fit of Phi(x) = p1 + p2 ln x + p3/x^2 + p4/x + p5 x + p6 x^2 + p7 x^3, x = T/1e4,\n")
            f.write("to the NASA Glenn polynomials, 298.15-3000 K (10 K steps), 1 atm, least squares in G.\n")
            f.write("Errors of G in J/mol: largest (and where), root mean square, and at 1873.15 K.\n\n")
            f.write("%-8s %10s %8s %10s %10s  %s\n" % ("species", "max|dG|", "at, K", "rms", "dG(1873)", "table row"))
            for sp, h0, coef, e in results:
                f.write("%-8s %10.3f %8.0f %10.3f %10.3f  %s\n"
                        % (sp.name, e["max"], e["at"], e["rms"], e["at1873"], sp.source))
            worst = max(results, key=lambda r: r[3]["max"])
            f.write("\nLargest error over all species: %.3f J/mol (%s at %.0f K).\n"
                    % (worst[3]["max"], worst[0].name, worst[3]["at"]))
    if verbose:
        for sp, h0, coef, e in results:
            print("%-8s max|dG| %8.3f J/mol at %6.0f K, rms %7.3f, at 1873 K %8.3f"
                  % (sp.name, e["max"], e["at"], e["rms"], e["at1873"]))
    return results


if __name__ == "__main__":
    run()
