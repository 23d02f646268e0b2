// Synthesises the show's music and encodes it as Ogg Vorbis. Everything is
// computed from fixed numbers (no clock, no seeding), so every run writes the
// same file.
#include "Tools/Content/MusicWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <vorbis/vorbisenc.h>

#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"

namespace Vostrel {
namespace Content {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int slowBeats = 112, fastBeats = 256;
constexpr double slowBeat = 60.0 / 85.0, fastBeat = 60.0 / 110.0;
constexpr double tempoChange = slowBeats * slowBeat;

// Where the show's segments start, in beats from the beginning.
constexpr int accentBeats[] = {0, 16, 48, 80, 112, 144, 176, 192, 240, 256, 304, 336, 368};

// Semitones from A for the chord roots and the minor or major third.
struct Chord {
    int root;
    bool minor;
};
// Am F C G for the slow half; the fast half adds Dm and E.
constexpr Chord slowChords[] = {{0, true}, {-4, false}, {3, false}, {-2, false}};
constexpr Chord fastChords[] = {{0, true}, {-4, false}, {3, false}, {-2, false},
                                {5, true}, {0, true},   {-4, false}, {-5, false}};

double noteFrequency(double semitonesFromA4)
{
    return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0);
}

double beatTime(double beat)
{
    if (beat <= slowBeats)
        return beat * slowBeat;
    return tempoChange + (beat - slowBeats) * fastBeat;
}

size_t frameAt(double seconds)
{
    return static_cast<size_t>(std::llround(seconds * musicRate));
}

// The chord under a beat: two bars each in the slow half, one in the fast.
Chord chordAt(int beat)
{
    if (beat < slowBeats)
        return slowChords[(beat / 8) % 4];
    return fastChords[((beat - slowBeats) / 4) % 8];
}

// Deterministic noise in -1..1.
struct Noise {
    uint32_t state = 0x1234567u;
    float next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<int32_t>(state)) / 2147483648.0f;
    }
};

class Mix {
public:
    explicit Mix(size_t frames) : left(frames, 0.0f), right(frames, 0.0f), duck(frames, 1.0f) {}

    void add(size_t frame, float value, float pan = 0.5f)
    {
        if (frame >= left.size())
            return;
        left[frame] += value * (1.0f - pan);
        right[frame] += value * pan;
    }

    std::vector<float> left, right;
    // The kick pushes the bass and the pad down for a moment.
    std::vector<float> duck;
};

void addKick(Mix& mix, double start, float level)
{
    const size_t first = frameAt(start);
    double phase = 0.0;
    for (size_t k = 0; k < static_cast<size_t>(0.45 * musicRate); ++k) {
        const double t = static_cast<double>(k) / musicRate;
        phase += 2.0 * pi * (48.0 + 120.0 * std::exp(-t / 0.035)) / musicRate;
        const float value = static_cast<float>(std::sin(phase) * std::exp(-t / 0.16)) * level;
        mix.add(first + k, value);
        if (first + k < mix.duck.size())
            mix.duck[first + k] = std::min(mix.duck[first + k], 1.0f - 0.65f * static_cast<float>(std::exp(-t / 0.09)));
    }
}

// Noise through a first difference: a hat when short, a crash when long.
void addNoiseHit(Mix& mix, Noise& noise, double start, double decay, float level, float pan)
{
    const size_t first = frameAt(start);
    float previous = 0.0f;
    for (size_t k = 0; k < static_cast<size_t>(decay * 5.0 * musicRate); ++k) {
        const float white = noise.next();
        const float bright = white - previous;
        previous = white;
        mix.add(first + k, bright * level * static_cast<float>(std::exp(-static_cast<double>(k) / musicRate / decay)),
                pan);
    }
}

// One cycle of a sum of harmonics, read with linear interpolation: cheap
// enough for every note of the piece and free of aliasing.
class Wavetable {
public:
    Wavetable(const std::vector<float>& harmonics) : samples(size + 1, 0.0f)
    {
        for (size_t h = 0; h < harmonics.size(); ++h)
            for (int k = 0; k < size; ++k)
                samples[k] += harmonics[h] * static_cast<float>(std::sin(2.0 * pi * (h + 1) * k / size));
        samples[size] = samples[0];
    }
    float at(double phase) const
    {
        const double position = (phase - std::floor(phase)) * size;
        const int index = static_cast<int>(position);
        const float fraction = static_cast<float>(position - index);
        return samples[index] + (samples[index + 1] - samples[index]) * fraction;
    }

private:
    static constexpr int size = 4096;
    std::vector<float> samples;
};

// A plucked tone with a decaying envelope.
void addPluck(Mix& mix, double start, double length, double frequency, const Wavetable& wave, double decay,
              float level, float pan, bool ducked)
{
    const size_t first = frameAt(start), frames = frameAt(length);
    const double fall = std::exp(-1.0 / (decay * musicRate));
    double envelope = 1.0;
    for (size_t k = 0; k < frames && first + k < mix.left.size(); ++k, envelope *= fall) {
        const double t = static_cast<double>(k) / musicRate;
        const double shape = std::min(1.0, t / 0.004) * std::min(1.0, (length - t) / 0.01);
        float sample = wave.at(frequency * t) * static_cast<float>(envelope * shape) * level;
        if (ducked)
            sample *= mix.duck[first + k];
        mix.add(first + k, sample, pan);
    }
}

// A soft saw: harmonics falling faster than 1/h, cut below 4 kHz.
const Wavetable& padWave(double frequency)
{
    static std::vector<std::pair<int, std::unique_ptr<Wavetable>>> tables;
    const int harmonics = std::max(1, static_cast<int>(4000.0 / frequency));
    for (const auto& table : tables)
        if (table.first == harmonics)
            return *table.second;
    std::vector<float> amplitudes;
    for (int h = 1; h <= harmonics; ++h)
        amplitudes.push_back(static_cast<float>(1.0 / (h * h * 0.35 + h)));
    tables.emplace_back(harmonics, std::make_unique<Wavetable>(amplitudes));
    return *tables.back().second;
}

// Two detuned voices, one each side, swelling in and out over the chord.
void addPadNote(Mix& mix, double start, double length, double frequency, float level)
{
    const size_t first = frameAt(start), frames = frameAt(length + 0.3);
    const Wavetable& wave = padWave(frequency);
    const double detune[2] = {frequency * 0.9965, frequency * 1.0035};
    for (int voice = 0; voice < 2; ++voice) {
        const float pan = voice == 0 ? 0.25f : 0.75f;
        for (size_t k = 0; k < frames && first + k < mix.left.size(); ++k) {
            const double t = static_cast<double>(k) / musicRate;
            const double envelope = std::min(1.0, t / 0.25) * std::min(1.0, std::max(0.0, (length + 0.3 - t) / 0.3));
            mix.add(first + k, wave.at(detune[voice] * t) * static_cast<float>(envelope) * level * mix.duck[first + k],
                    pan);
        }
    }
}

void addChord(Mix& mix, double start, double length, const Chord& chord, float level)
{
    const int third = chord.minor ? 3 : 4;
    for (int interval : {0, third, 7, 12})
        addPadNote(mix, start, length, noteFrequency(chord.root + interval - 12), level);
}

} // namespace

std::vector<double> musicBeats()
{
    std::vector<double> beats;
    for (int beat = 0; beat <= slowBeats + fastBeats; ++beat)
        beats.push_back(beatTime(beat));
    return beats;
}

std::vector<float> synthesiseMusic()
{
    const size_t frames = frameAt(musicSeconds);
    Mix mix(frames);
    Noise noise;
    const int lastBeat = slowBeats + fastBeats;

    for (int beat = 0; beat <= lastBeat; ++beat) {
        const bool accent = std::find(std::begin(accentBeats), std::end(accentBeats), beat) != std::end(accentBeats);
        addKick(mix, beatTime(beat), accent ? 0.95f : 0.7f);
        if (accent)
            addNoiseHit(mix, noise, beatTime(beat), 0.5, 0.16f, 0.5f);
        if (beat >= slowBeats && beat < lastBeat)
            addNoiseHit(mix, noise, beatTime(beat + 0.5), 0.025, 0.09f, 0.65f);
    }

    const Wavetable bassWave({1.0f, 0.55f, 0.3f, 0.12f}), arpWave({1.0f, 0.2f, 0.1f});
    for (int beat = 0; beat < lastBeat; ++beat) {
        const Chord chord = chordAt(beat);
        const double bass = noteFrequency(chord.root - 36 + (chord.root < -2 ? 12 : 0));
        if (beat < slowBeats) {
            addPluck(mix, beatTime(beat), slowBeat, bass, bassWave, 0.5, 0.32f, 0.5f, true);
        } else {
            // Off-beat bass and a sixteenth arpeggio over the chord.
            addPluck(mix, beatTime(beat + 0.5), fastBeat * 0.5, bass, bassWave, 0.18, 0.4f, 0.5f, true);
            const int third = chord.minor ? 3 : 4;
            const int pattern[4] = {0, 7, 12, third + 12};
            for (int step = 0; step < 4; ++step) {
                const double at = beatTime(beat + step * 0.25);
                const double frequency = noteFrequency(chord.root + pattern[(beat * 4 + step) % 4]);
                const float pan = 0.3f + 0.4f * static_cast<float>((beat * 4 + step) % 3) / 2.0f;
                addPluck(mix, at, fastBeat * 0.25, frequency, arpWave, 0.07, 0.06f, pan, false);
            }
        }
        const bool chordStarts = beat < slowBeats ? beat % 8 == 0 : (beat - slowBeats) % 4 == 0;
        if (chordStarts) {
            const int span = beat < slowBeats ? 8 : 4;
            const float level = beat < slowBeats ? 0.07f : 0.055f;
            addChord(mix, beatTime(beat), beatTime(beat + span) - beatTime(beat), chord, level);
        }
    }
    // The closing chord rings to the end.
    addChord(mix, beatTime(lastBeat), musicSeconds - beatTime(lastBeat) - 0.3, Chord{0, true}, 0.07f);

    float peak = 0.0f;
    for (size_t k = 0; k < frames; ++k)
        peak = std::max({peak, std::fabs(mix.left[k]), std::fabs(mix.right[k])});
    const float gain = peak > 0.0f ? 0.89f / peak : 1.0f;
    std::vector<float> samples(frames * 2);
    for (size_t k = 0; k < frames; ++k) {
        samples[k * 2] = mix.left[k] * gain;
        samples[k * 2 + 1] = mix.right[k] * gain;
    }
    return samples;
}

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// libvorbisenc at a modest quality, with a fixed stream serial number.
void encodeVorbis(const std::vector<float>& samples, const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        VOSTREL_THROW("Cannot write " << path);
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 2, musicRate, 0.2f) != 0) {
        vorbis_info_clear(&info);
        VOSTREL_THROW("The Vorbis encoder refuses 2 channels at " << musicRate << " Hz");
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", "Vostrel");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x566F7374);

    bool written = true;
    auto writePage = [&](const ogg_page& page) {
        written = written && std::fwrite(page.header, 1, page.header_len, file.get()) == size_t(page.header_len) &&
                  std::fwrite(page.body, 1, page.body_len, file.get()) == size_t(page.body_len);
    };
    ogg_packet header, commentPacket, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page))
        writePage(page);

    const size_t frames = samples.size() / 2;
    constexpr size_t chunk = 4096;
    for (size_t at = 0; at <= frames; at += chunk) {
        const size_t count = std::min(chunk, frames - at);
        if (count > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (size_t k = 0; k < count; ++k) {
                buffer[0][k] = samples[(at + k) * 2];
                buffer[1][k] = samples[(at + k) * 2 + 1];
            }
        }
        vorbis_analysis_wrote(&dsp, static_cast<int>(count));
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page))
                    writePage(page);
            }
        }
        if (count == 0)
            break;
    }
    while (ogg_stream_flush(&stream, &page))
        writePage(page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    if (!written)
        VOSTREL_THROW("Cannot write " << path);
}

RegisterContentWriter music("music", writeMusic);

} // namespace

void writeMusic(const std::string& root)
{
    encodeVorbis(synthesiseMusic(), prepareOutputPath(root, "data/Music/vostrel.ogg"));
}

} // namespace Content
} // namespace Vostrel
