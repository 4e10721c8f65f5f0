#!/usr/bin/env python3
"""Reads the shipped sample project (data/) the way the program's loaders do
and reports what they would see: code page 1251 and CR LF, the element,
interaction, slag and gas records, the materials with their types and
analyses, and the tasks with the materials they find by name. Exits non-zero
on the first file that breaks a reading rule. Pure standard library.
"""

import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")
UNSET = -1e20
BLANKS = " \t"


class Failure(Exception):
    pass


def read_lines(name):
    raw = open(os.path.join(DATA, name), "rb").read()
    if b"\n" in raw.replace(b"\r\n", b""):
        raise Failure("%s: a line ends without CR LF" % name)
    if not raw.endswith(b"\r\n"):
        raise Failure("%s: the last line has no CR LF" % name)
    text = raw.decode("cp1251")          # raises on bytes outside the code page
    return text.split("\r\n")[:-1]


# --- the tokenizer and the value-or-range parser -----------------------------

def next_token(line, start, count, delims):
    """Returns (found, token, new line); start is 1-based."""
    i = start
    token_start = i
    for _ in range(count):
        while i < len(line) and line[i - 1] in BLANKS:
            i += 1
        token_start = i
        while i <= len(line) and line[i - 1] not in delims:
            i += 1
    token = line[token_start - 1:i - 1].rstrip(BLANKS)
    new_line = line[:start - 1] + line[i - 1:]
    return i > token_start, token, new_line


def to_number(text):
    p = text.find(",")
    if p >= 0:
        text = text[:p] + "." + text[p + 1:]
    try:
        if text.strip() != text or text == "":
            raise ValueError
        return float(text), True
    except ValueError:
        return UNSET, False


def read_value_or_range(line, marker, delims):
    """Returns (ok, lo, hi, new line)."""
    if marker:
        p = line.find(marker)
        if p < 0:
            return False, UNSET, UNSET, line
        start = p + 2
    else:
        start = 1
    found, token, line = next_token(line, start, 1, set(delims) | set(BLANKS))
    if not found:
        return False, UNSET, UNSET, line
    if "/" in token:
        a, b = token.split("/", 1)
        lo, ok1 = to_number(a)
        hi, ok2 = to_number(b)
        return ok1 and ok2, lo, hi, line
    lo, ok = to_number(token)
    return ok, lo, lo, line


# --- the four database files --------------------------------------------------

def check_con():
    elements = []
    for n, line in enumerate(read_lines("Ferrolyt.CON")[1:], 2):
        if not line or not ("A" <= line[0] <= "Z"):
            continue
        sym, label = line[0:3].strip(), line[3:9].strip()
        if line[9:10] not in BLANKS:
            raise Failure("CON line %d: the label runs into the numbers" % n)
        nums = line[9:].split()
        if len(nums) < 25:
            raise Failure("CON line %d: %d numbers, 25 needed" % (n, len(nums)))
        b, k = int(nums[0]), int(nums[11])
        vals = [float(v) for v in nums[1:11] + nums[12:25]]
        if k not in (0, 1) or not (-128 <= b <= 127):
            raise Failure("CON line %d: flag fields" % n)
        if vals[6] < 0:
            raise Failure("CON line %d: negative e^2" % n)
        elements.append((sym, label, vals[0], vals[1]))
    return elements


def check_rows(name, first_row, elements, integer):
    rows = []
    for n, line in enumerate(read_lines(name)[1:], 2):
        if not line or not ("A" <= line[0] <= "Z"):
            continue
        found, sym, line = next_token(line, 1, 1, set(BLANKS))
        values = []
        while True:
            ok, lo, hi, line = read_value_or_range(line, "", "")
            if not ok:
                break
            values.append(lo)
        rows.append((sym, values))
    expected = [e[0] for e in elements[first_row:]]
    if [r[0] for r in rows] != expected:
        raise Failure("%s: rows %s, expected %s" % (name, [r[0] for r in rows], expected))
    width = len(elements) - (1 if first_row else 0) + (1 if first_row else 0)
    for sym, values in rows:
        if len(values) != width:
            raise Failure("%s: row %s has %d values, %d expected" % (name, sym, len(values), width))
        if integer and any(v != int(v) for v in values):
            raise Failure("%s: row %s holds a value that is not whole" % (name, sym))
    return rows


def check_eps(elements):
    rows = check_rows("Ferrolyt.EPS", 1, elements, False)
    e = [1.0] + [r[1][0] for r in rows]
    eps = [[0.0] * len(elements) for _ in elements]
    for r, (_, values) in enumerate(rows, 1):
        for c, v in enumerate(values[1:], 1):
            eps[r][c] = eps[c][r] = v
    for r in range(len(elements)):
        for c in range(r):
            x = (e[r] * e[c] + 1 - eps[r][c]) / (1 / e[r] + 1 / e[c])
            if not x > 0:
                raise Failure("EPS: pair %s-%s gives x = %g (warning in the program)"
                              % (elements[r][0], elements[c][0], x))
    return rows


def check_gas(elements):
    symbols = {e[0].upper() for e in elements}
    species = []
    for n, line in enumerate(read_lines("Ferrolyt.GAS")[1:], 2):
        pos = 0

        def number():
            nonlocal pos
            while pos < len(line) and line[pos] in BLANKS:
                pos += 1
            start = pos
            while pos < len(line) and line[pos] not in BLANKS:
                pos += 1
            return line[start:pos]

        coefs = [float(number()) for _ in range(8)]
        int(number()), int(number())
        count = int(number())
        parts = []
        for _ in range(4):
            sym = line[pos:pos + 3].strip()
            pos += 3
            nu = int(number())
            parts.append((sym, nu))
        name = line[pos:pos + 8].strip()
        if not 1 <= count <= 4 or not name:
            raise Failure("GAS line %d: species count or name" % n)
        for sym, nu in parts[:count]:
            if sym.upper() not in symbols or nu < 1:
                raise Failure("GAS line %d: constituent %r" % (n, sym))
        species.append((name, parts[:count], coefs))
    names = [s[0] for s in species]
    for sym in symbols:
        if sym != "F" and not any(len(p) == 1 and p[0][1] == 1 and p[0][0].upper() == sym
                                  for _, p, _ in species):
            raise Failure("GAS: no one-atom species for %s" % sym)
    return names


# --- materials ------------------------------------------------------------------

MARKER_STOPS = "!#%&*@{~"


def parse_formula(formula):
    atoms, i = [], 0
    formula = formula[:15]
    while i < len(formula):
        j = i + 1
        while j < len(formula) and formula[j].islower() and j - i < 3:
            j += 1
        sym = formula[i:j]
        k = j
        while k < len(formula) and (formula[k].isdigit() or formula[k] == "."):
            k += 1
        atoms.append((sym, float(formula[j:k]) if k > j else 1.0))
        i = k
    return atoms


def check_mat(elements):
    molar = {e[0]: e[2] for e in elements}
    valence = {e[0]: e[3] for e in elements}
    materials, columns, section = [], [], ""
    for n, line in enumerate(read_lines("Ferrolyt.MAT"), 1):
        line = line.strip()
        if not line or line[0] == "#":
            continue
        if line[0] == "@":
            tokens = line[1:].split("{")[0].split()
            first = line[1:].split()[0] if line[1:].strip() and line[1] not in BLANKS else ""
            section = first
            if first == "E" or first.startswith("Q"):
                continue
            columns = []
            for formula in ([first] if first else [None]) + tokens[1 if first else 0:]:
                if formula is None:
                    columns.append(None)
                    continue
                atoms = parse_formula(formula)
                for sym, _ in atoms:
                    if sym not in molar:
                        raise Failure("MAT line %d: %s is not in the constants file" % (n, sym))
                total = sum(molar[s] * c for s, c in atoms)
                columns.append({s: molar[s] * c / total for s, c in atoms})
            continue
        if "|" not in line:
            raise Failure("MAT line %d: no name" % n)
        name, rest = line.split("|", 1)
        name = name.strip()
        if len(name) > 25:
            raise Failure("MAT line %d: name longer than 25 characters" % n)
        kind = 0 if section == "E" else 2
        lo_comp, hi_comp, sum_lo, sum_hi = {}, {}, 0.0, 0.0
        ncols = 0 if section == "E" else len(columns) - 1
        for j in range(1, ncols + 1):
            ok, lo, hi, rest = read_value_or_range(rest, "", "$")
            if not ok:
                continue
            sum_lo, sum_hi = sum_lo + lo, sum_hi + hi
            for sym, f in columns[j].items():
                lo_comp[sym] = lo_comp.get(sym, 0.0) + 0.01 * lo * f
                hi_comp[sym] = hi_comp.get(sym, 0.0) + 0.01 * hi * f
        if section != "E" and columns and columns[0]:
            for sym, f in columns[0].items():
                lo_comp[sym] = lo_comp.get(sym, 0.0) + f * (1 - 0.01 * sum_lo)
                hi_comp[sym] = hi_comp.get(sym, 0.0) + f * (1 - 0.01 * sum_hi)
        if sum_hi > 100.0 + 1e-9:
            raise Failure("MAT line %d: upper analysis adds up to %.2f %%" % (n, sum_hi))
        ok, price, _, _ = read_value_or_range(rest, "$", MARKER_STOPS)
        if not ok:
            raise Failure("MAT line %d: no price" % n)
        if "#" in rest:
            ok, r_lo, r_hi, _ = read_value_or_range(rest, "#", MARKER_STOPS)
            if not ok:
                raise Failure("MAT line %d: recovery" % n)
        if "@" in rest:
            ok, temp, _, _ = read_value_or_range(rest, "@", MARKER_STOPS)
            if not ok:
                raise Failure("MAT line %d: temperature" % n)
        if "~" in rest:
            kind = 4
        elif kind == 2:
            num = sum(valence[s] * (lo_comp.get(s, 0) + hi_comp.get(s, 0)) / molar[s] for s in molar)
            den = sum((lo_comp.get(s, 0) + hi_comp.get(s, 0)) / molar[s] for s in molar)
            if abs(num / den) <= 0.65:
                kind = 3
        materials.append((name, kind, price, sum(lo_comp.values()), sum(hi_comp.values())))
    return materials


# --- tasks ------------------------------------------------------------------------

def check_tsk(materials):
    names = {m[0].upper(): m for m in materials}
    lines = read_lines("Ferrolyt.TSK")
    tasks, i = [], 0
    while i < len(lines) and not lines[i].startswith("*"):
        i += 1
    while i < len(lines):
        name = lines[i][1:]
        if len(name) > 25:
            raise Failure("TSK: task name %r longer than 25 characters" % name)
        symbols = lines[i + 1].split()
        for k in (2, 3, 4):
            rest = lines[i + k]
            for _ in symbols:
                ok, lo, hi, rest = read_value_or_range(rest, "", "")
                if not ok and not (lo == UNSET or hi == UNSET):
                    raise Failure("TSK %s: line %d" % (name, i + k + 1))
            if rest.strip():
                raise Failure("TSK %s: line %d has values beyond its elements" % (name, i + k + 1))
        i += 5
        keys = {}
        while i < len(lines) and lines[i].split("|")[0].strip():
            key, _, _ = lines[i].partition("|")
            keys[key.strip()] = lines[i]
            i += 1
        for key in ("MASSMET", "MASSSLG", "OSNSLG", "MASSGAS", "TEMP"):
            if key not in keys:
                raise Failure("TSK %s: no %s line" % (name, key))
        found = []
        while i < len(lines) and not lines[i].startswith("*"):
            line = lines[i]
            i += 1
            if not line.strip():
                continue
            mat = line.split("|")[0].strip()
            if mat.upper() not in names:
                raise Failure("TSK %s: material %r is not in the materials file" % (name, mat))
            found.append(mat)
        tasks.append((name, symbols, found))
    return tasks


def main():
    try:
        for name in ("FERROLYT.FWP",):
            keys = dict(l.split("=", 1) for l in read_lines(name) if "=" in l)
            for key in ("ConFile", "EpsFile", "SlgFile", "GasFile", "MatFile", "TskFile"):
                if not os.path.exists(os.path.join(DATA, keys[key])):
                    raise Failure("project: %s names a missing file" % key)
        elements = check_con()
        print("elements: %s" % " ".join(e[0] for e in elements))
        check_eps(elements)
        print("interaction rows: %d, every pair term positive" % (len(elements) - 1))
        check_rows("Ferrolyt.SLG", 0, elements, True)
        print("slag rows: %d" % len(elements))
        print("gas species: %s" % " ".join(check_gas(elements)))
        materials = check_mat(elements)
        kinds = {0: "energy", 2: "metal", 3: "slag", 4: "gas"}
        for name, kind, price, lo, hi in materials:
            print("  %-25s %-6s price %8.0f  mass per t %.3f..%.3f" % (name, kinds[kind], price, lo, hi))
        for name, symbols, found in check_tsk(materials):
            print("task %s: elements %s; materials %s" % (name, " ".join(symbols), ", ".join(found)))
    except (Failure, UnicodeDecodeError, ValueError, KeyError, IndexError) as e:
        print("FAILED: %s" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
