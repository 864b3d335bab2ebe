#!/usr/bin/env python3
"""Works out the expected output of the case from report.csv by the
definitions, independently of quillmark-analyze (run in the case folder:
python3 derivation.py > expected.stdout 2> expected.stderr).

Classical figures: population moments; KR-20; the point-biserial of a
question or option against the rest score (total less the question);
upper and lower groups of round(27% of the sheets) by total, ties at the
edge taken in report order.

Rasch figures: questions 1 to 3 are the three-question case worked out by
hand in analyze/rasch_test.cpp (question 4 is right on every sheet and is
left out): measures ln 2 / 3 * (1, 1, -2), SEs sqrt(43/594), sqrt(43/594),
sqrt(20/297); the measure of a score s on them solves a quadratic; fit
statistics summed sheet by sheet at those measures.
"""
import csv, math, sys

rows = list(csv.reader(open("report.csv")))
sheets = []
for r in rows:
    if len(r) == 8 and r[0].startswith("E"):
        responses = r[6].split(":", 1)[1]
        scoring = r[7][1:]
        sheets.append((responses, scoring))
key = "ABCD"
k = 4
n = len(sheets)
x = [[1 if s[1][q] == "c" else 0 for q in range(k)] for s in sheets]
tot = [sum(row) for row in x]

out = sys.stdout
def f3(v): return "%.3f" % v
def opt(v): return "" if v is None else f3(v)

mean = sum(tot) / n
var = sum((t - mean) ** 2 for t in tot) / n
sd = math.sqrt(var)
st = sorted(tot)
median = (st[(n - 1) // 2] + st[n // 2]) / 2
p = [sum(row[q] for row in x) / n for q in range(k)]
kr20 = k / (k - 1) * (1 - sum(pi * (1 - pi) for pi in p) / var)
sem = sd * math.sqrt(max(0.0, 1 - kr20))
m3 = sum((t - mean) ** 3 for t in tot) / n
m4 = sum((t - mean) ** 4 for t in tot) / n
out.write('Form,Sheets,Questions,Mean,Median,"Std dev",Lowest,Highest,KR-20,SEM,Skewness,Kurtosis\n')
out.write("A,%d,%d,%s,%s,%s,%d,%d,%s,%s,%s,%s\n\n" % (n, k, f3(mean), f3(median), f3(sd), min(tot), max(tot),
          f3(kr20), f3(sem), f3(m3 / var ** 1.5), f3(m4 / var ** 2 - 3)))

size = (n * 27 + 50) // 100
order = sorted(range(n), key=lambda s: (-tot[s], s))
upper = set(order[:size])
order = sorted(range(n), key=lambda s: (tot[s], s))
lower = set(order[:size])

def corr(a, b):
    # From whole-number sums, so that no correlation is zero only nearly.
    m = len(a)
    cov = m * sum(u * v for u, v in zip(a, b)) - sum(a) * sum(b)
    va = m * sum(u * u for u in a) - sum(a) ** 2
    vb = m * sum(v * v for v in b) - sum(b) ** 2
    if va == 0 or vb == 0: return None
    return cov / (math.sqrt(va) * math.sqrt(vb))

question_rows, option_rows = [], []
for q in range(k):
    right = [row[q] for row in x]
    rest = [tot[s] - right[s] for s in range(n)]
    pb = corr(right, rest)
    ul = (sum(right[s] for s in upper) - sum(right[s] for s in lower)) / size
    choice = [s[0][q] if q < len(s[0]) else "-" for s in sheets]
    options = []
    for letter in "ABCDEFGHIJKLMNOPQRSTUVWXY":
        chosen = [1 if c == letter else 0 for c in choice]
        if sum(chosen) == 0 and letter != key[q]: continue
        options.append((letter, letter == key[q], chosen))
    none = [0 if "A" <= c <= "Y" else 1 for c in choice]
    if sum(none): options.append(("none", False, none))
    stats = []
    for letter, is_key, chosen in options:
        cnt = sum(chosen)
        stats.append((letter, is_key, cnt, cnt / n, sum(chosen[s] for s in upper) / size,
                       sum(chosen[s] for s in lower) / size, corr(chosen, rest)))
    # A possible key error: a non-key letter above every key option in
    # point-biserial (positive) and in upper-group share.
    key_pb = [o[6] for o in stats if o[1] and o[6] is not None]
    key_up = max(o[4] for o in stats if o[1])
    suspect = None
    for o in stats:
        if o[1] or o[0] == "none" or o[6] is None or o[6] <= 0: continue
        if key_pb and o[6] <= max(key_pb): continue
        if o[4] <= key_up: continue
        if suspect is None or o[6] > suspect[6]: suspect = o
    if suspect: flag = '"possible key error: %s"' % suspect[0]
    elif p[q] in (0, 1): flag = '"no variance"'
    elif pb is not None and pb < 0: flag = '"negative discrimination"'
    elif 10 * sum(right) > 9 * n: flag = '"too easy"'
    elif 10 * sum(right) < 3 * n: flag = '"too hard"'
    else: flag = ""
    question_rows.append("A,%d,%s,%s,%s,%s\n" % (q + 1, f3(p[q]), opt(pb), f3(ul), flag))
    for o in stats:
        option_rows.append("A,%d,%s,%s,%d,%s,%s,%s,%s\n" % (q + 1, o[0], "key" if o[1] else "", o[2],
                           f3(o[3]), f3(o[4]), f3(o[5]), opt(o[6])))
out.write('Form,Question,Difficulty,"Point-biserial","Upper-lower",Flag\n' + "".join(question_rows) + "\n")
out.write('Form,Question,Option,Key,Count,Share,Upper,Lower,"Point-biserial"\n' + "".join(option_rows) + "\n")

# Rasch: questions 1 to 3, by the hand-worked closed forms.
beta = math.log(2) / 3
b = [beta, beta, -2 * beta]
se_b = [math.sqrt(43 / 594), math.sqrt(43 / 594), math.sqrt(20 / 297)]
a = 2 ** (1 / 3)
def measure(s):
    A = 3 - s; B = (2 - s) / a ** 2 + (1 - s) * a; C = -s / a
    return math.log((-B + math.sqrt(B * B - 4 * A * C)) / (2 * A))
def information(theta):
    return sum(pp * (1 - pp) for pp in (1 / (1 + math.exp(bi - theta)) for bi in b))
cal = [sum(row[:3]) for row in x]
out.write('Form,Question,Measure,SE,Infit,Outfit,"Infit Z","Outfit Z"\n')
for i in range(3):
    z2 = sq = vs = oq = iq = m = 0
    for s in range(n):
        if cal[s] in (0, 3): continue
        pp = 1 / (1 + math.exp(b[i] - measure(cal[s])))
        v = pp * (1 - pp); c = pp * (1 - pp) ** 4 + (1 - pp) * pp ** 4
        res = x[s][i] - pp
        z2 += res * res / v; sq += res * res; vs += v; oq += c / v ** 2; iq += c - v * v; m += 1
    outfit = z2 / m; infit = sq / vs
    qo = math.sqrt(oq / m ** 2 - 1 / m); qi = math.sqrt(iq / vs ** 2)
    zo = (outfit ** (1 / 3) - 1) * (3 / qo) + qo / 3
    zi = (infit ** (1 / 3) - 1) * (3 / qi) + qi / 3
    out.write("A,%d,%s,%s,%s,%s,%.2f,%.2f\n" % (i + 1, f3(b[i]), f3(se_b[i]), f3(infit), f3(outfit), zi, zo))
out.write("A,4,,,,,,\n\n")
out.write('Form,"Raw score",Measure,SE,Sheets\n')
out.write("A,0,,,0\n")
for r in range(4):  # raw score on the form = score on questions 1 to 3, plus 1
    s = {0: 0.3, 3: 2.7}.get(r, r)
    th = measure(s)
    out.write("A,%d,%s,%s,%d\n" % (r + 1, f3(th), f3(1 / math.sqrt(information(th))), cal.count(r)))
out.write("\n")
pm = [measure(c) for c in cal if c in (1, 2)]
pe = [1 / information(measure(c)) for c in cal if c in (1, 2)]
mp = sum(pm) / len(pm)
obs = sum((t - mp) ** 2 for t in pm) / (len(pm) - 1)
prel = (obs - sum(pe) / len(pe)) / obs
iobs = sum(bi * bi for bi in b) / 2
irel = (iobs - sum(e * e for e in se_b) / 3) / iobs
out.write('Form,Persons,Items,"Person reliability","Item reliability"\n')
out.write("A,%d,3,%s,%s\n\n" % (len(pm), f3(prel), f3(irel)))
out.write('Check,Form,Order,"Student ID",Detail\n')

err = sys.stderr
err.write("Form A: % scores\n")
bins = [0] * 10
for t in tot:
    pc = 100 * t / k
    bins[min(9, int(pc // 10))] += 1
err.write("%d points in histogram.  Offscale 0 low, 0 high\n" % n)
for i in range(10):
    err.write("%5d %5d %s\n" % (10 * i, bins[i], "*" * bins[i]))
err.write("%d points.  Offscale 0 low, 0 high\n" % n)
err.write("Form A: not calibrated, every sheet right: question 4\n")
for check in ("duplicate student", "no responses", "few responses", "no key", "few sheets"):
    err.write("0 %s\n" % check)
