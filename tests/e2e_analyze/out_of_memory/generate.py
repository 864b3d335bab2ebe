# A report of a 1000-question key and 30000 sheets that answered nothing:
# a small file whose table of answers takes 30 MB.
import os

SHEETS = 30000
lines = ['"Input file:",,,,quillmark,"v. 1.3","Dec  8 2026","09:11:15"',
         'blank.txt,,,,"graded on",Tue,"12/08/26","09:34:19"',
         '"Scanned key:",A,,,,,":' + " ".join(["AAAAA"] * 200) + '"',
         '"Student ID",Tform,Exam#,Order,"Raw Score","% Score",Responses,Scoring']
for order in range(1, SHEETS + 1):
    lines.append(f'"{order:010d}",A,"001",{order:3d}, 0,  0.000,"A:",":"')
lines += [",,n,avg,dev,min,max", f',"Form A",{SHEETS},0.0,0.0,0.0,0.0',
          f",Aggregate,{SHEETS},0.0,0.0,0.0,0.0"]
text = ("\n".join(lines) + "\n").encode()
os.makedirs("expected.files", exist_ok=True)
for name in ("report.csv", "expected.files/report.csv"):
    with open(name, "wb") as out:
        out.write(text)
