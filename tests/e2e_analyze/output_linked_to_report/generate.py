# A second name of the report: a hard link, which the case folder cannot hold.
import os

os.link("report.csv", "linked.csv")
