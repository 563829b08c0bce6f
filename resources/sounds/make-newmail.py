"""Writes newmail.wav, the sound Pingbox plays by default: two soft rising
tones. Our own sound; run this again after changing it."""
import math
import struct
import wave

RATE = 22050


def tone(freq, seconds, volume=0.35):
    n = int(RATE * seconds)
    for i in range(n):
        t = i / RATE
        envelope = min(1.0, i / (RATE * 0.01)) * math.exp(-4.0 * t)
        yield volume * envelope * (math.sin(2 * math.pi * freq * t) + 0.3 * math.sin(4 * math.pi * freq * t))


samples = list(tone(880, 0.18)) + list(tone(1318.5, 0.45))
with wave.open("newmail.wav", "wb") as out:
    out.setnchannels(1)
    out.setsampwidth(2)
    out.setframerate(RATE)
    out.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32767)) for s in samples))
