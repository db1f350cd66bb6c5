#pragma once

#include "DemoRecorder.h"
#include "storage/CTATCardWriter.h"

#include <string>

// The card writer as a recording sink.
class CCardSink : public VRecordingSink {
public:
    explicit CCardSink(const std::string& root) : m_writer(root) {}
    bool Begin(const std::string& name, const tat::InfoBlock& info) override {
        return m_writer.BeginRecording(name, info);
    }
    bool Add(uint8_t type, uint8_t channel, const uint8_t* payload, uint32_t size) override {
        return m_writer.AddPacket(type, channel, payload, size);
    }
    bool Finish() override { return m_writer.FinishRecording(); }
    void Abandon(bool cutMidPacket) override { m_writer.AbandonRecording(cutMidPacket); }
    void Discard() override { m_writer.DiscardRecording(); }
    std::string Error() const override { return m_writer.Error(); }

private:
    CTATCardWriter m_writer;
};
