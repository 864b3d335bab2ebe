# A report that begins as the grader's and whose seventh line runs on for
# 64 MiB without a line feed: four times the memory the case runs in.
lines = ['"Input file:",,,,quillmark,"v. 1.3","Dec  8 2026","09:11:15"',
         'quiz.txt,,,,"graded on",Tue,"12/08/26","09:34:19"',
         '"Scanned key:",A,,,,,":ABCDE"',
         '"Student ID",Tform,Exam#,Order,"Raw Score","% Score",Responses,Scoring',
         '"D024001417",A,"001",  1, 5,100.000,"A:ABCDE",":ccccc"',
         '"D024001522",A,"001",  2, 4, 80.000,"A:ABCDA",":ccccX"']
with open("report.csv", "wb") as out:
    out.write(("\n".join(lines) + "\n").encode())
    block = b'"D024001633",A,"001",  3,' * 4096
    for _ in range(64 * 1024 * 1024 // len(block)):
        out.write(block)
