# Writes empty.txt: a key sheet, 100,000 empty lines and one student sheet,
# and the expected report: every empty line is a student sheet with an empty
# identifier and form '?', so it gets a "no key" row and a message with its
# Order number; the last sheet is Order 100001.
EMPTY = 100000
with open("empty.txt", "wb") as f:
    f.write(b"0000000000,A,000,ABC\n" + b"\n" * EMPTY + b"1111,A,001,ABC\n")

out = [b'"Input file:",,,,quillmark,"v. 1.3","<BUILD_DATE>","<BUILD_TIME>"\n',
       b'empty.txt,,,,"graded on",<WEEKDAY>,"<DATE>","<TIME>"\n',
       b'"Scanned key:",A,,,,,":ABC"\n',
       b'"Student ID",Tform,Exam#,Order,"Raw Score","% Score",Responses,Scoring\n']
out += [b'"",?,"",%3d,"no key",,":"\n' % order for order in range(1, EMPTY + 1)]
out.append(b'"A111",A,"001",100001, 3,100.000,"A:ABC",":ccc"\n')
out.append(b""",,n,avg,dev,min,max
,"Form A",1,100.0,0.0,100.0,100.0
,Aggregate,1,100.0,0.0,100.0,100.0

,"Form A Q:A", Correct,"No resp",A,B,C
,Q1 :A,   1:100.0%,   0,   1,   0,   0
,Q2 :B,   1:100.0%,   0,   0,   1,   0
,Q3 :C,   1:100.0%,   0,   0,   0,   1
"100000 form mismatches"
""")
with open("expected.stdout", "wb") as f:
    f.write(b"".join(out))

err = [b"quillmark v. 1.3  <BUILD_DATE> <BUILD_TIME>\n"]
err += [b"Student ID,Ex#,order:,,%d form ? does not match any key form\n" % order
        for order in range(1, EMPTY + 1)]
err.append(b"""100001 sheets graded
Form A: n=1, avg dev [min, max]: 100  0 [100, 100]
Aggregate: n=1, avg dev [min, max]: 100  0 [100, 100]
100000 form mismatches
""")
with open("expected.stderr", "wb") as f:
    f.write(b"".join(err))
