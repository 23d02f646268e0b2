#!/usr/bin/env python3
"""Writes envelope_fixture.txt: Kochanek-Bartels envelopes with their Hermite
segment coefficients and values, slopes and behaviours outside the key range,
computed in double precision straight from the formulas, independently of the
engine's code.

    python3 make_envelope_fixture.py > envelope_fixture.txt

Format, one record per line:
    envelope <pre> <post> <key count>
    key <time> <value> <tension> <continuity> <bias>     (float32 values)
    segment <c0> <c1> <c2> <c3>                          (one per key pair)
    at <time> <value> <slope>                            (time is a float32)
"""
import math
import random
import struct


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def hermite_segments(keys):
    """keys: list of (t, v, tension, continuity, bias), times increasing."""
    n = len(keys)
    segments = []
    for i in range(n - 1):
        t0, v0, T0, C0, B0 = keys[i]
        t1, v1, T1, C1, B1 = keys[i + 1]
        h = t1 - t0
        if i == 0:
            m0 = (1 - T0) * (v1 - v0) / h
        else:
            tp, vp = keys[i - 1][0], keys[i - 1][1]
            m0 = (1 - T0) * ((1 - C0) * (1 - B0) * (v1 - v0) + (1 + C0) * (1 + B0) * (v0 - vp)) / (t1 - tp)
        if i + 2 == n:
            m1 = (1 - T1) * (v1 - v0) / h
        else:
            tn, vn = keys[i + 2][0], keys[i + 2][1]
            m1 = (1 - T1) * ((1 + B1) * (1 - C1) * (v1 - v0) + (1 - B1) * (1 + C1) * (vn - v1)) / (tn - t0)
        # Hermite basis in local time d in [0, h]: value and slope match the
        # keys and the tangents at both ends.
        c2 = (3 * (v1 - v0) - (2 * m0 + m1) * h) / (h * h)
        c3 = (2 * (v0 - v1) + (m0 + m1) * h) / (h * h * h)
        segments.append((v0, m0, c2, c3))
    return segments


def in_range(keys, segments, t):
    # The segment whose first key is the last one at or before t, clamped to
    # the first and the last segment.
    i = 0
    for k in range(1, len(keys) - 1):
        if keys[k][0] <= t:
            i = k
    c0, c1, c2, c3 = segments[i]
    d = t - keys[i][0]
    return c0 + c1 * d + c2 * d * d + c3 * d ** 3, c1 + 2 * c2 * d + 3 * c3 * d * d


def evaluate(keys, segments, pre, post, t):
    if len(keys) == 1:
        return keys[0][1], 0.0
    first, last = keys[0], keys[-1]
    span = last[0] - first[0]
    if first[0] <= t <= last[0]:
        return in_range(keys, segments, t)
    before = t < first[0]
    mode = pre if before else post
    boundary = first if before else last
    if mode == 0:
        return 0.0, 0.0
    if mode == 1:
        return boundary[1], 0.0
    if mode == 2:
        other = keys[1] if before else keys[-2]
        slope = (1 - boundary[2]) * (other[1] - boundary[1]) / (other[0] - boundary[0])
        return boundary[1] + (t - boundary[0]) * slope, slope
    if mode in (3, 4):
        # Repeat: the time moved by whole periods into the key range, before
        # the range counted back from the last key, after it from the first.
        if before:
            repeated = last[0] - math.fmod(last[0] - t, span)
        else:
            repeated = first[0] + math.fmod(t - first[0], span)
        value, slope = in_range(keys, segments, repeated)
        if mode == 4:
            periods = math.floor((t - first[0]) / span)
            value = in_range(keys, segments, t - periods * span)[0] + periods * (last[1] - first[1])
        return value, slope
    if mode == 5:
        # Fold the time into a triangle wave over the key range.
        distance = (first[0] - t) if before else (t - last[0])
        phase = math.fmod(distance, 2 * span)
        value, slope = in_range(keys, segments, first[0] + abs(span - phase))
        # Chain rule: the folded time runs against t on half of the stretches.
        folded_rate = (-1 if phase < span else 1) * (-1 if before else 1)
        return value, slope * folded_rate
    return in_range(keys, segments, t)


def write_envelope(keys, pre, post, rng):
    segments = hermite_segments(keys)
    print("envelope %d %d %d" % (pre, post, len(keys)))
    for key in keys:
        print("key %r %r %r %r %r" % key)
    for segment in segments:
        print("segment %r %r %r %r" % segment)
    first, last = keys[0][0], keys[-1][0]
    span = max(last - first, 1.0)
    times = [k[0] for k in keys]
    times += [first + span * (x / 20.0) for x in range(-45, 66, 3)]
    times += [rng.uniform(first - 3 * span, last + 3 * span) for _ in range(16)]
    for t in sorted(set(f32(t) for t in times)):
        value, slope = evaluate(keys, segments, pre, post, t)
        print("at %r %r %r" % (t, value, slope))


def random_keys(rng, count, tcb):
    keys, t = [], f32(rng.uniform(-2.0, 2.0))
    for _ in range(count):
        spread = (lambda: f32(rng.uniform(-1.0, 1.0))) if tcb else (lambda: 0.0)
        keys.append((t, f32(rng.uniform(-10.0, 10.0)), spread(), spread(), spread()))
        t = f32(t + rng.uniform(0.05, 2.0))
    return keys


def main():
    rng = random.Random(1103)
    print("# Generated by make_envelope_fixture.py; do not edit.")
    write_envelope([(0.0, 0.0, 0.0, 0.0, 0.0), (1.0, 1.0, 0.0, 0.0, 0.0)], 2, 2, rng)
    write_envelope([(0.0, 0.0, 1.0, 0.0, 0.0), (2.0, 3.0, 1.0, 0.0, 0.0)], 1, 1, rng)
    write_envelope([(0.5, 4.0, 0.0, 0.0, 0.0)], 2, 5, rng)
    # Every pre mode with every post mode (6 stands for any unknown mode: the
    # boundary segments' cubics continue).
    for pre in range(7):
        for post in range(7):
            write_envelope(random_keys(rng, rng.randint(2, 7), tcb=(pre + post) % 3 != 0), pre, post, rng)


main()
