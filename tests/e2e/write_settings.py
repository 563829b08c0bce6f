"""Writes a Pingbox settings file: write_settings.py FILE Section/Ident=value ...
A Pass value is stored scrambled the way Pingbox stores passwords."""
import os
import random
import sys


def scramble(clear: str, key: bytes = b"kestrel") -> str:
    seed = random.randrange(256)
    out, running = [f"{seed:02X}"], seed
    for i, byte in enumerate(clear.encode("utf-8")):
        running = ((byte + running) % 255) ^ key[i % len(key)]
        out.append(f"{running:02X}")
    return "".join(out)


sections = {}
for arg in sys.argv[2:]:
    where, value = arg.split("=", 1)
    section, ident = where.split("/", 1)
    if ident == "Pass" and value:
        value = scramble(value)
    sections.setdefault(section, []).append(f"{ident}={value}")
with open(sys.argv[1], "w", encoding="utf-8") as f:
    for section, lines in sections.items():
        f.write(f"[{section}]\n" + "\n".join(lines) + "\n")
os.chmod(sys.argv[1], 0o600)
