#pragma once
#include <cstdint>

// Volume helpers shared by the audio outputs.
//
// A device volume is the 32-bit value the window's slider gives: low 16 bits the left, high
// 16 bits the right channel, 0 … 0xFFFF each. Our outputs are mono, so they use the louder of
// the two channels, and map that level linearly onto a gain of 0 (silence) … 1 (as recorded).
// Plain functions: any thread.

// The louder channel of a device volume, 0 … 0xFFFF.
uint16_t VolumeLevel(uint32_t deviceVolume);

// VolumeLevel / 0xFFFF: 0.0 for silence, 1.0 for full volume.
double VolumeGain(uint32_t deviceVolume);

// Scales mono PCM in place by level / 0xFFFF. 16-bit samples are signed little-endian, 8-bit
// ones unsigned (128 is silence); other sizes are left alone. A trailing partial sample is
// left alone. Level 0xFFFF leaves the samples exactly as they are.
void ApplyVolume(uint8_t* pcm, int32_t length, int32_t bitsPerSample, uint16_t level);
