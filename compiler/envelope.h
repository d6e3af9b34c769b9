#pragma once

#include "compiler/dlsbank.h"
#include "compiler/synth.h"

#include <cstdint>

namespace telmira::compiler {

// Envelopes and pitch of the simulated synthesizer. Times are seconds, levels of the volume
// envelope percent, pitch modulation octaves.

// Seconds of a raw DLS time (timecents x 65536) moved by `timecents`; the raw "no time" value
// stays 0 seconds.
double scaledSeconds(std::int32_t raw, double timecents);

// The envelope times of a note starting now: attack scaled by velocity, decay by key.
void startEnvelopes(NoteRecord& note, const Articulation& articulation);

// Releases the note at its current level: the release takes the region's release time scaled
// by that level.
void releaseEnvelope(NoteRecord& note, const Articulation& articulation);

// How long the wave sounds when played at `key` (its unity note and fine tune considered);
// infinite for a wave looped for this purpose (loop start above 0) or without frames to count.
double playedSeconds(const DlsWave& wave, int unityNote, int key);

struct EnvelopeLevel {
    double percent = 0;
    bool killable = false;
};

// The volume envelope of a note at its present age. `wave` is null when the region has none.
EnvelopeLevel noteLevel(const NoteRecord& note, const DlsRegion& region, const DlsWave* wave,
                        double ticksPerSecond);

// Vibrato at t seconds after the note-on: the LFO after its start delay, as deep as the
// region's LFO-to-pitch plus the modulation wheel's share.
double vibratoOctaves(const Articulation& articulation, int modWheel, double t);

// The pitch envelope's contribution (octaves) t seconds after the note-on, or `sinceRelease`
// seconds after its release. Regions whose pitch envelope moves the pitch by 0.1 cent or less
// give 0. While the note is held the level is remembered in `eg2Level`; the release starts
// from it.
double pitchEnvelopeOctaves(const Articulation& articulation, const NoteRecord& note, double t,
                            double sinceRelease, double& eg2Level);

// Playback rate of a voice in 8.8 fixed point (256: the recorded pitch): the key's distance
// from the unity note plus `octaves` of bend and modulation. Held to 0..65535.
std::uint16_t voicePitch(int key, int unityNote, double octaves);

} // namespace telmira::compiler
