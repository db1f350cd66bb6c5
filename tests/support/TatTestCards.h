#pragma once

#include "storage/CTATCardWriter.h"
#include "storage/CTATLibrary.h"
#include "storage/TatFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Small synthetic cards for tests. Every payload starts with a marker of its stream and the
// packet's sequence number, so readers can check order and kind:
//   video: 'V', channel, frame (u32)   audio: 'A', block (u32)   text: 'G'/'M' lines
struct TestRecording {
    std::string name;
    int seconds = 3;
    int frameRate = 30;
    bool twoChannel = true;
    int keyEvery = 30;  // a front and rear key frame every this many frames
    bool finish = true; // false: abandoned mid-packet, as at a power cut
    int frontBytes = 0; // the size of each front frame; 0: a couple of hundred bytes (such a
                        // card's recordings are too small for the window's list)
};

// Makes the card (with a short configuration text) and writes the recordings; fails the test
// on any writer error.
void MakeTestCard(const std::string& root, const std::vector<TestRecording>& recordings);

// A library over the card in `root` alone (no removable volumes), polled and mounted.
std::unique_ptr<CTATLibrary> OpenTestCard(const std::string& root);

// The configuration text the test cards carry.
std::string TestConfigText();

// The packets MakeTestCard writes for one recording, in order (type, channel, payload).
struct TestTatPacket {
    uint8_t type;
    uint8_t channel;
    std::vector<uint8_t> payload;
};
std::vector<TestTatPacket> TestRecordingPackets(const TestRecording& recording);

// Front frame number carried by a video payload made above.
uint32_t FrameOfPayload(const uint8_t* payload);
