#include "link/traffic_counters.h"

namespace veltrona {

void DeviceTraffic::Reset() {
    for (auto* counter : {&requests_, &replies_, &timed_out_, &dropped_, &exceptions_})
        counter->store(0, std::memory_order_relaxed);
}

TrafficFigures DeviceTraffic::Figures() const {
    return {requests_.load(std::memory_order_relaxed), replies_.load(std::memory_order_relaxed),
            timed_out_.load(std::memory_order_relaxed), dropped_.load(std::memory_order_relaxed),
            exceptions_.load(std::memory_order_relaxed)};
}

std::string FormatTrafficFigures(std::string_view name, const TrafficFigures& f) {
    std::string text(name);
    text += ' ' + std::to_string(f.requests) + '/' + std::to_string(f.replies);
    text += " t" + std::to_string(f.timed_out);
    text += " c" + std::to_string(f.dropped);
    text += " e" + std::to_string(f.exceptions);
    return text;
}

}  // namespace veltrona
