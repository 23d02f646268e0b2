#!/usr/bin/env bash
# Writes the seed corpus of the music stream fuzzer (run from this folder):
# short tones in each format the stand-in reads, and cut copies of them.
set -euo pipefail
tone() { ffmpeg -v error -nostdin -y -f lavfi -i "sine=frequency=440:duration=$1:sample_rate=$2" "${@:3}"; }
tone 0.2 22050 -c:a pcm_s16le -ac 2 corpus/stereo16.wav
tone 0.1 8000 -c:a pcm_u8 -ac 1 corpus/mono8.wav
tone 0.1 11025 -c:a pcm_f32le -ac 1 corpus/float.wav
tone 0.5 22050 -c:a libvorbis -q:a 0 -ac 1 corpus/mono.ogg
tone 0.3 44100 -c:a libvorbis -q:a 0 -ac 2 corpus/stereo.ogg
tone 0.3 22050 -c:a libmp3lame -b:a 32k -ac 1 corpus/tagged.mp3
tone 0.3 16000 -c:a libmp3lame -b:a 24k -ac 1 -write_xing 0 -id3v2_version 0 corpus/bare.mp3
head -c 2000 corpus/stereo.ogg > corpus/cut.ogg
head -c 300 corpus/tagged.mp3 > corpus/cut.mp3
head -c 100 corpus/stereo16.wav > corpus/cut.wav
printf 'not music at all' > corpus/text
