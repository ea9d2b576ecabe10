#!/usr/bin/env python3
"""Writes the alarm sound: two short tones, then a pause, so that played in a
loop it repeats about once a second. Mono, 16 bit, 22050 Hz."""
import math
import struct
import sys
import wave

RATE = 22050


def tone(frequency, seconds):
    count = int(RATE * seconds)
    fade = int(RATE * 0.01)  # no click at either end
    samples = []
    for i in range(count):
        gain = min(1.0, i / fade, (count - i) / fade)
        samples.append(int(12000 * gain * math.sin(2 * math.pi * frequency * i / RATE)))
    return samples


def main(path):
    samples = tone(880, 0.2) + [0] * int(RATE * 0.05) + tone(660, 0.2) + [0] * int(RATE * 0.55)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


if __name__ == "__main__":
    main(sys.argv[1])
