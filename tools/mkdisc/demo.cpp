// The demo disc: a few short pieces of synthesized music (pad chords, a bass
// line, a lead melody and noise-burst drums), so a newcomer has a disc to play.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "image.h"
#include "mkdisc.h"

namespace mkdisc {

namespace {
constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

double noteHz(double midi) {
    return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

struct Rng {
    uint32_t s;
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    double unit() { return next() / 4294967296.0; }
    double noise() { return unit() * 2.0 - 1.0; }
};

// One period of a waveform made of a few harmonics, read with linear interpolation.
class Wave {
public:
    explicit Wave(const std::vector<double>& harmonics) : table_(kSize + 1) {
        for (int i = 0; i <= kSize; ++i) {
            double v = 0;
            for (size_t h = 0; h < harmonics.size(); ++h) v += harmonics[h] * std::sin(2 * kPi * (h + 1) * i / kSize);
            table_[i] = v;
        }
    }
    double at(double phase) const {
        const double x = (phase - std::floor(phase)) * kSize;
        const int i = int(x);
        return table_[i] + (table_[i + 1] - table_[i]) * (x - i);
    }

private:
    static constexpr int kSize = 4096;
    std::vector<double> table_;
};

const Wave& padWave() {
    static const Wave w({1.0, 0.5, 0.33, 0.25, 0.2, 0.12});
    return w;
}
const Wave& bassWave() {
    static const Wave w({1.0, 0.45, 0.2});
    return w;
}
const Wave& leadWave() {
    static const Wave w({1.0, 0.0, 0.11, 0.0, 0.04, 0.0, 0.02});  // soft triangle
    return w;
}

class Mix {
public:
    explicit Mix(size_t frames) : l_(frames), r_(frames) {}
    size_t frames() const { return l_.size(); }
    // pan: 0 left, 0.5 centre, 1 right (equal power).
    void add(size_t i, double v, double pan) {
        if (i >= l_.size()) return;
        l_[i] += float(v * std::cos(pan * kPi / 2));
        r_[i] += float(v * std::sin(pan * kPi / 2));
    }
    std::vector<float>& left() { return l_; }
    std::vector<float>& right() { return r_; }

private:
    std::vector<float> l_, r_;
};

// Attack, then a hold at `sustain` after a decay, then a release after `dur` seconds.
double envelope(double t, double dur, double attack, double decay, double sustain, double release) {
    if (t < attack) return t / attack;
    double level = t < attack + decay ? 1.0 - (1.0 - sustain) * (t - attack) / decay : sustain;
    if (t > dur) level *= std::max(0.0, 1.0 - (t - dur) / release);
    return level;
}

void pad(Mix& m, double start, double dur, int note, double pan) {
    const double f = noteHz(note);
    const size_t s0 = size_t(start * kRate), n = size_t((dur + 0.4) * kRate);
    for (size_t i = 0; i < n; ++i) {
        const double t = i / kRate;
        const double v = padWave().at(f * 0.9985 * t) + padWave().at(f * 1.0015 * t);
        m.add(s0 + i, 0.045 * v * envelope(t, dur, 0.12, 0.3, 0.8, 0.4), pan);
    }
}

void bass(Mix& m, double start, double dur, int note) {
    const double f = noteHz(note);
    const size_t s0 = size_t(start * kRate), n = size_t((dur + 0.05) * kRate);
    for (size_t i = 0; i < n; ++i) {
        const double t = i / kRate;
        m.add(s0 + i, 0.26 * bassWave().at(f * t) * std::exp(-t * 2.5) * envelope(t, dur, 0.005, 0.1, 0.9, 0.05), 0.5);
    }
}

void lead(Mix& m, double start, double dur, int note) {
    const double f = noteHz(note);
    const size_t s0 = size_t(start * kRate), n = size_t((dur + 0.1) * kRate);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / kRate;
        const double vibrato = t > 0.15 ? 1.0 + 0.004 * std::sin(2 * kPi * 5.5 * t) : 1.0;
        phase += f * vibrato / kRate;
        m.add(s0 + i, 0.13 * leadWave().at(phase) * envelope(t, dur, 0.01, 0.12, 0.65, 0.1), 0.62);
    }
}

void kick(Mix& m, double start) {
    const size_t s0 = size_t(start * kRate), n = size_t(0.35 * kRate);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / kRate;
        phase += (45.0 + 90.0 * std::exp(-t * 28)) / kRate;
        m.add(s0 + i, 0.55 * std::sin(2 * kPi * phase) * std::exp(-t * 9), 0.5);
    }
}

void snare(Mix& m, double start, Rng& rng) {
    const size_t s0 = size_t(start * kRate), n = size_t(0.25 * kRate);
    double low = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / kRate;
        const double white = rng.noise();
        low += 0.35 * (white - low);  // keep some body under the hiss
        const double v = (0.6 * white + 0.4 * low) * std::exp(-t * 17) * 0.22 +
                         std::sin(2 * kPi * 185 * t) * std::exp(-t * 30) * 0.18;
        m.add(s0 + i, v, 0.45);
    }
}

void hat(Mix& m, double start, bool open, Rng& rng) {
    const size_t s0 = size_t(start * kRate), n = size_t((open ? 0.3 : 0.06) * kRate);
    double prev = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / kRate;
        const double white = rng.noise();
        m.add(s0 + i, (white - prev) * 0.045 * std::exp(-t * (open ? 11 : 70)), 0.68);
        prev = white;
    }
}

struct Song {
    int seconds;
    double bpm;
    int root;  // MIDI note of the tonic
    bool minor;
    std::vector<int> progression;  // scale degree of each bar's chord
    std::vector<int> bassLine;     // per eighth: degree above the chord root, or -1
    std::vector<int> kicks;        // eighths of a bar with a kick
    uint32_t seed;
};

int scaleNote(const Song& s, int degree) {
    static const int major[] = {0, 2, 4, 5, 7, 9, 11}, minor[] = {0, 2, 3, 5, 7, 8, 10};
    const int octave = degree >= 0 ? degree / 7 : -((6 - degree) / 7);
    const int step = degree - octave * 7;
    return s.root + 12 * octave + (s.minor ? minor : major)[step];
}

// A two-bar phrase of the melody: per eighth a scale degree, or -1 for a rest
// (-2 holds the previous note).
std::vector<int> phrase(Rng& rng) {
    std::vector<int> p;
    int degree = 7 + int(rng.next() % 5);
    for (int e = 0; e < 16; ++e) {
        const double r = rng.unit();
        if (e > 0 && r < 0.14) {
            p.push_back(-1);
        } else if (e > 0 && p.back() >= 0 && r < 0.36) {
            p.push_back(-2);
        } else {
            degree += int(rng.next() % 5) - 2;
            degree = std::clamp(degree, 4, 13);
            p.push_back(degree);
        }
    }
    return p;
}

// The degree nearest to `degree` that belongs to the chord on `chordRoot`.
int nearestChordTone(int degree, int chordRoot) {
    for (int d = 0;; ++d) {
        for (int c : {degree - d, degree + d})
            if (((c - chordRoot) % 7 + 7) % 7 % 2 == 0 && ((c - chordRoot) % 7 + 7) % 7 != 6) return c;
    }
}

std::vector<int16_t> render(const Song& s) {
    Mix mix(size_t(s.seconds * kRate));
    Rng rng{s.seed};
    const double beat = 60.0 / s.bpm, eighth = beat / 2, bar = beat * 4;
    const int bars = int((s.seconds - 1.5) / bar);
    const std::vector<int> phraseA = phrase(rng), phraseB = phrase(rng);
    for (int b = 0; b < bars; ++b) {
        const double t0 = b * bar;
        const bool last = b == bars - 1, intro = b < 2;
        const int chord = last ? 0 : s.progression[b % s.progression.size()];
        const double padLength = last ? s.seconds - t0 - 0.9 : bar;
        for (int voice = 0; voice < 3; ++voice)
            pad(mix, t0, padLength, scaleNote(s, chord + 2 * voice) - (voice == 0 ? 12 : 0), 0.3 + 0.2 * voice);
        if (last) {
            kick(mix, t0);
            bass(mix, t0, padLength, scaleNote(s, chord) - 24);
            hat(mix, t0, true, rng);
            lead(mix, t0, padLength * 0.6, scaleNote(s, 7));
            break;
        }
        for (int e = 0; e < 8; ++e) {
            const double t = t0 + e * eighth;
            hat(mix, t, e == 7, rng);
            if (b == 0) continue;
            const int bassStep = s.bassLine[e];
            if (bassStep >= 0) bass(mix, t, eighth * 0.9, scaleNote(s, chord + bassStep) - 24);
            if (intro) continue;
            if (std::find(s.kicks.begin(), s.kicks.end(), e) != s.kicks.end()) kick(mix, t);
            if (e == 2 || e == 6) snare(mix, t, rng);
        }
        if (intro) continue;
        // Phrases A A B A over the bars after the intro; strong eighths land on chord tones.
        const int section = (b - 2) / 2 % 4;
        const std::vector<int>& p = section == 2 ? phraseB : phraseA;
        const int half = (b - 2) % 2;
        for (int e = 0; e < 8; ++e) {
            int degree = p[half * 8 + e];
            if (degree < 0) continue;
            int length = 1;
            while (e + length < 8 && p[half * 8 + e + length] == -2) ++length;
            if (e % 4 == 0) degree = nearestChordTone(degree, chord);
            lead(mix, t0 + e * eighth, eighth * length * 0.95, scaleNote(s, degree));
        }
    }
    // Fades at both ends, then scaled so the loudest sample sits just under full scale.
    std::vector<float>& l = mix.left();
    std::vector<float>& r = mix.right();
    const size_t n = mix.frames(), fadeIn = size_t(0.01 * kRate), fadeOut = size_t(0.9 * kRate);
    float peak = 1e-6f;
    for (size_t i = 0; i < n; ++i) {
        double g = 1.0;
        if (i < fadeIn) g = double(i) / fadeIn;
        if (i + fadeOut > n) g *= double(n - i) / fadeOut;
        l[i] *= float(g);
        r[i] *= float(g);
        peak = std::max({peak, std::fabs(l[i]), std::fabs(r[i])});
    }
    std::vector<int16_t> pcm(n * 2);
    const double gain = 0.89 * 32767 / peak;
    for (size_t i = 0; i < n; ++i) {
        pcm[2 * i] = int16_t(std::lrint(l[i] * gain));
        pcm[2 * i + 1] = int16_t(std::lrint(r[i] * gain));
    }
    return pcm;
}

const std::vector<Song>& songs() {
    static const std::vector<Song> list = {
        {18, 112, 60, false, {0, 4, 5, 3}, {0, -1, 0, 4, -1, 4, 0, 7}, {0, 3, 4}, 0x1234567u},
        {22, 96, 57, true, {0, 5, 2, 6}, {0, -1, -1, 0, 4, -1, 2, -1}, {0, 5}, 0x2468aceu},
        {16, 128, 52, true, {0, 0, 3, 4}, {0, 0, 7, 0, 0, 7, 4, 0}, {0, 2, 4, 6}, 0x13579bdu},
        {20, 84, 53, false, {0, 3, 1, 4}, {0, -1, 4, -1, 7, -1, 4, -1}, {0, 4}, 0xfeed123u},
    };
    return list;
}
}  // namespace

bool writeDemoDisc(const std::string& dir) {
    DiscPlan disc{"demo", "", {}};
    std::vector<std::vector<int16_t>> pcm;
    for (const Song& s : songs()) {
        pcm.push_back(render(s));
        disc.tracks.push_back(TrackPlan{true, 0, s.seconds * 75, 0});
    }
    const std::vector<int32_t> starts = trackStarts(disc);
    auto fill = [&](int track, const TrackPlan&, int32_t lba, uint8_t* sector) {
        const std::vector<int16_t>& samples = pcm[size_t(track - 1)];
        const size_t first = size_t(lba - starts[size_t(track - 1)]) * kSamplesPerSector * 2;
        for (size_t k = 0; k < kSamplesPerSector * 2; ++k) {
            const uint16_t v = first + k < samples.size() ? uint16_t(samples[first + k]) : 0;
            sector[2 * k] = uint8_t(v);
            sector[2 * k + 1] = uint8_t(v >> 8);
        }
    };
    return writeImage(disc, dir, fill);
}

}  // namespace mkdisc
