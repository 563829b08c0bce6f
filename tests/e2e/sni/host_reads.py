"""Prints the properties the tray host read of our item, from a dbus-monitor
log of Properties calls: the host is the caller that read the item most, as
each gdbus call of the test comes from a connection of its own."""
import collections
import re
import sys

lines = open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines()
reads = collections.defaultdict(set)
for i, line in enumerate(lines):
    m = re.search(r"sender=(\S+) .*path=/StatusNotifierItem; .*member=(Get|GetAll)$", line)
    if not m:
        continue
    if m.group(2) == "GetAll":
        reads[m.group(1)].add("(GetAll)")
    elif i + 2 < len(lines):
        reads[m.group(1)].add(re.sub(r'.*"(.*)".*', r"\1", lines[i + 2]))
print(" ".join(sorted(max(reads.values(), key=len, default=set()))))
