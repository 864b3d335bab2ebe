# Writes big.txt: a key sheet and 5000 student sheets of 4 right answers out
# of 5, a report far larger than the output buffer.
with open("big.txt", "w") as f:
    f.write("0000000000,A,000,ABCDE\n")
    for n in range(5000):
        f.write("S%04d,A,001,ABCDA\n" % n)
