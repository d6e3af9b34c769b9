#include "compiler/envelope.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace telmira::compiler {

namespace {

constexpr double kRawPerTimecent = 65536.0;
constexpr double kCentsPerOctave = 1200.0;
constexpr double kFullLevel = 100.0;
constexpr double kSilentReleaseLevel = 0.001; // percent
constexpr double kSilentPitchLevel = 0.00001; // of the pitch envelope's depth
constexpr double kSmallestPitchDepth = 0.1;   // cents
constexpr double kVelocityScale = 128.0;
constexpr double kModWheelFull = 16383.0;
constexpr double kLargestPitch = 65535.0;

double seconds(double timecents) {
    return std::exp2(timecents / kCentsPerOctave);
}

} // namespace

double scaledSeconds(std::int32_t raw, double timecents) {
    if (raw == kDlsNoTime)
        return 0.0;
    return seconds(static_cast<double>(raw) / kRawPerTimecent + timecents);
}

void startEnvelopes(NoteRecord& note, const Articulation& articulation) {
    const auto scaled = [&](std::int32_t raw, std::int32_t scaleRaw, int by) {
        const double shift = static_cast<double>(scaleRaw) / kRawPerTimecent * by / kVelocityScale;
        return scaledSeconds(raw, shift);
    };
    const Articulation::Envelope& eg1 = articulation.eg1;
    const Articulation::Envelope& eg2 = articulation.eg2;
    note.eg1Attack = scaled(eg1.attackRaw, eg1.velocityToAttackRaw, note.velocity);
    note.eg1Decay = scaled(eg1.decayRaw, eg1.keyToDecayRaw, note.playKey);
    note.eg2Attack = scaled(eg2.attackRaw, eg2.velocityToAttackRaw, note.velocity);
    note.eg2Decay = scaled(eg2.decayRaw, eg2.keyToDecayRaw, note.playKey);
}

void releaseEnvelope(NoteRecord& note, const Articulation& articulation) {
    note.released = true;
    note.ageAtRelease = note.age;
    note.ticksSinceRelease = 0;
    note.levelAtRelease = note.level;
    note.releaseDuration =
        scaledSeconds(articulation.eg1.releaseRaw, 0.0) * note.level / kFullLevel;
}

double playedSeconds(const DlsWave& wave, int unityNote, int key) {
    const std::size_t frameBytes = static_cast<std::size_t>(wave.bitsPerSample / 8) * wave.channels;
    if (wave.loopStart != 0 || frameBytes == 0 || wave.sampleRate == 0)
        return std::numeric_limits<double>::infinity();
    const double frames = static_cast<double>(wave.data.size() / frameBytes);
    const double semitones = (unityNote - key) - wave.fineTune / 100.0;
    return frames / wave.sampleRate * std::exp2(semitones / 12.0);
}

EnvelopeLevel noteLevel(const NoteRecord& note, const DlsRegion& region, const DlsWave* wave,
                        double ticksPerSecond) {
    const double t = note.age / ticksPerSecond;
    if (wave && playedSeconds(*wave, region.unityNote, note.playKey) < t)
        return {0.0, true};
    if (note.released) {
        if (note.releaseDuration == 0 || note.levelAtRelease < kSilentReleaseLevel)
            return {0.0, true};
        const double since = note.ticksSinceRelease / ticksPerSecond;
        const double left = std::max(0.0, (note.releaseDuration - since) / note.releaseDuration);
        return {note.levelAtRelease * left, true};
    }
    if (t <= note.eg1Attack)
        return {note.eg1Attack == 0 ? kFullLevel : kFullLevel * t / note.eg1Attack, false};
    const double sustain = region.articulation.eg1.sustainPercent;
    if (note.eg1Decay == 0)
        return {sustain, true};
    const double level = kFullLevel * (note.eg1Decay - (t - note.eg1Attack)) / note.eg1Decay;
    return {std::max(level, sustain), true};
}

double vibratoOctaves(const Articulation& articulation, int modWheel, double t) {
    const double running = t - articulation.lfoStartDelaySeconds;
    if (!(running > 0))
        return 0.0;
    const double depthCents = modWheel * articulation.lfoToPitchByModWheelCents / kModWheelFull +
                              articulation.lfoToPitchCents;
    if (depthCents == 0)
        return 0.0;
    return std::sin(2 * std::numbers::pi * articulation.lfoFrequencyHz * running) * depthCents /
           kCentsPerOctave;
}

double pitchEnvelopeOctaves(const Articulation& articulation, const NoteRecord& note, double t,
                            double sinceRelease, double& eg2Level) {
    if (!(std::abs(articulation.eg2ToPitchCents) > kSmallestPitchDepth))
        return 0.0;
    const Articulation::Envelope& eg2 = articulation.eg2;
    double level = 0;
    if (!note.released) {
        const double sustain = eg2.sustainPercent / kFullLevel;
        if (t <= note.eg2Attack)
            level = note.eg2Attack == 0 ? 1.0 : t / note.eg2Attack;
        else if (note.eg2Decay == 0)
            level = sustain;
        else
            level = std::max((note.eg2Decay - (t - note.eg2Attack)) / note.eg2Decay, sustain);
        eg2Level = level;
    } else if (eg2.releaseSeconds != 0 && !(eg2Level < kSilentPitchLevel)) {
        level = eg2Level * std::max(0.0, (eg2.releaseSeconds - sinceRelease) / eg2.releaseSeconds);
    }
    return level * articulation.eg2ToPitchCents / kCentsPerOctave;
}

std::uint16_t voicePitch(int key, int unityNote, double octaves) {
    const double pitch = std::trunc(256.0 * std::exp2((key - unityNote) / 12.0 + octaves) + 0.5);
    if (!(pitch > 0))
        return 0;
    return static_cast<std::uint16_t>(std::min(pitch, kLargestPitch));
}

} // namespace telmira::compiler
