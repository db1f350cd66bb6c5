#include "DemoCard.h"

#include "CardSink.h"
#include "DemoRecorder.h"
#include "PacketList.h"
#include "storage/CTATCardWriter.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace {

RecordingPlan Plan(const char* name, CivilTime start, int seconds, bool twoChannel,
                   double routeStart, uint32_t variant) {
    RecordingPlan plan;
    plan.name = name;
    plan.start = start;
    plan.seconds = seconds;
    plan.twoChannel = twoChannel;
    plan.routeStart = routeStart;
    plan.variant = variant;
    return plan;
}

CivilTime At(int day, int hour, int minute, int second) {
    return CivilTime{2024, 3, day, hour, minute, second};
}

} // namespace

std::string DemoConfigText() {
    const char* lines[] = {
        "[blackbox]",     "tat_update=0", "mic_volume=3",
        "voice_volume=3", "acc_level=3",  "motion_level=3",
        "mic_in=1",       "voice_out=1",  "power_off_vlt=12000",
        "front_led=1",    "local_time=9", "version=1.02.17",
        "model=MV-700",   "[time]",       "set=0",
        "year=2024",      "month=3",      "day=5",
        "hour=9",         "min=0",        "sec=0",
    };
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

std::vector<RecordingPlan> DemoPlans(int seconds) {
    std::vector<RecordingPlan> plans;
    // Morning drive, continuous recording; the first one starts before 09:00, on the
    // previous day in UTC.
    plans.push_back(Plan("REC_20240305_085940_D", At(5, 8, 59, 40), 20, true, 0, 1));
    plans.push_back(Plan("REC_20240305_090000_D", At(5, 9, 0, 0), 30, true, 420, 2));
    plans.back().noFixFrom = 12; // under an overpass
    plans.back().noFixTo = 18;
    plans.push_back(Plan("REC_20240305_090030_S", At(5, 9, 0, 30), 20, false, 1000, 3));
    // A hard brake.
    plans.push_back(Plan("EVENT_20240305_090702_D", At(5, 9, 7, 2), 20, true, 1900, 4));
    plans.back().shockSecond = 10;
    plans.push_back(Plan("REC_20240305_091000_S", At(5, 9, 10, 0), 20, false, 2600, 5));
    plans.push_back(Plan("MANUAL_20240305_091512_D", At(5, 9, 15, 12), 20, true, 3400, 6));
    // A pothole right after starting, before the receiver has its fix.
    plans.push_back(Plan("EVENT_20240305_092233_S", At(5, 9, 22, 33), 20, false, 4100, 7));
    plans.back().shockSecond = 2;
    plans.back().noFixFrom = 0;
    plans.back().noFixTo = 4;
    // Power lost while recording.
    plans.push_back(Plan("REC_20240305_093000_D", At(5, 9, 30, 0), 20, true, 4800, 8));
    plans.back().cutOff = true;
    // Parked at the office.
    plans.push_back(Plan("PARKING_20240305_120514_D", At(5, 12, 5, 14), 20, true, 5200, 9));
    plans.back().parked = true;
    plans.push_back(Plan("PARKING_20240305_134221_S", At(5, 13, 42, 21), 20, false, 5200, 10));
    plans.back().parked = true;
    // Evening drive home: a knock from behind, a manual clip.
    plans.push_back(Plan("EVENT_20240305_174503_D", At(5, 17, 45, 3), 20, true, 600, 11));
    plans.back().shockSecond = 12;
    plans.push_back(Plan("MANUAL_20240305_180010_S", At(5, 18, 0, 10), 20, false, 1500, 12));
    // Overnight in the garage, no sky in view.
    plans.push_back(Plan("PARKING_20240306_021530_D", At(6, 2, 15, 30), 20, true, 2300, 13));
    plans.back().parked = true;
    plans.back().noFixFrom = 0;
    plans.back().noFixTo = 20;
    plans.push_back(Plan("REC_20240306_081500_D", At(6, 8, 15, 0), 25, true, 2300, 14));

    if (seconds > 0) {
        for (RecordingPlan& plan : plans) {
            plan.seconds = seconds;
            plan.noFixTo = std::min(plan.noFixTo, seconds);
            if (plan.shockSecond >= seconds)
                plan.shockSecond = seconds / 2;
        }
    }
    return plans;
}

bool MakeDemoCard(const std::string& root, const std::vector<RecordingPlan>& plans,
                  const DemoFormat& format, std::FILE* log, std::string* error) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::path(root) / tat::kStoreFolder, ec)) {
        if (error != nullptr)
            *error = root + " already holds a card; choose an empty folder";
        return false;
    }
    std::filesystem::create_directories(root, ec);
    if (ec) {
        if (error != nullptr)
            *error = "cannot create " + root + ": " + ec.message();
        return false;
    }
    if (!CTATCardWriter::CreateCard(root, DemoConfigText(), error))
        return false;

    // Each worker codes whole recordings with single-threaded encoders (which gives the same
    // bytes as any other split); this thread writes them to the card in plan order. Workers
    // stay at most a few recordings ahead of the writing, to bound the memory held.
    const size_t count = plans.size();
    const size_t workers =
        std::clamp<size_t>(std::thread::hardware_concurrency(), 1, std::max<size_t>(count, 1));
    const size_t ahead = 2 * workers;
    struct Slot {
        std::unique_ptr<CPacketList> recording;
        std::string error;
        bool done = false;
        double seconds = 0;
    };
    std::vector<Slot> slots(count);
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;
    size_t written = 0;
    bool stop = false;

    auto work = [&]() {
        const CDemoRecorder recorder(format, 1);
        for (;;) {
            size_t i = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || next >= count || next < written + ahead; });
                if (stop || next >= count)
                    return;
                i = next++;
            }
            const auto began = std::chrono::steady_clock::now();
            auto recording = std::make_unique<CPacketList>();
            std::string failure;
            const bool ok = recorder.Record(plans[i], *recording, &failure);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
            std::lock_guard lock(mutex);
            slots[i].recording = ok ? std::move(recording) : nullptr;
            slots[i].error = ok ? std::string() : failure;
            slots[i].seconds = took.count();
            slots[i].done = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (size_t w = 0; w < workers; ++w)
        threads.emplace_back(work);

    CCardSink card(root);
    std::string failure;
    for (size_t i = 0; i < count && failure.empty(); ++i) {
        std::unique_ptr<CPacketList> recording;
        double seconds = 0;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return slots[i].done; });
            recording = std::move(slots[i].recording);
            failure = slots[i].error;
            seconds = slots[i].seconds;
        }
        if (failure.empty() && !recording->ReplayInto(card))
            failure = plans[i].name + ": " + card.Error();
        if (failure.empty() && log != nullptr) {
            std::fprintf(log, "%-26s %2d s%s  (coded in %.1f s)\n", plans[i].name.c_str(),
                         plans[i].seconds, plans[i].cutOff ? ", cut off" : "", seconds);
            std::fflush(log);
        }
        std::lock_guard lock(mutex);
        ++written;
        changed.notify_all();
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
        changed.notify_all();
    }
    for (std::thread& thread : threads)
        thread.join();
    if (!failure.empty()) {
        if (error != nullptr)
            *error = failure;
        return false;
    }
    return true;
}
