# Writes huge.txt: a key sheet, two lines of 10 MiB each (a sheet whose
# response field runs on in blanks, and one without any comma), and a sheet
# after them.
SIZE = 10 * 1024 * 1024
first = b"2000,A,001,ABCDEABCDE"
with open("huge.txt", "wb") as f:
    f.write(b"0000000000,A,000,ABCDEABCDE\n")
    f.write(first + b" " * (SIZE - len(first)) + b"\n")
    f.write(b"x" * SIZE + b"\n")
    f.write(b"3000,A,002,ABCDEABCDA\n")
