#include "curve/core/VelocityMonitor.h"

#include <algorithm>

namespace quillon::curve {

int mapThroughCurve(const Table& table, int sourceVelocity)
{
    const int index = std::clamp(sourceVelocity, 0, kMaxVelocity);
    return std::clamp(table[static_cast<std::size_t>(index)], 0, kMaxVelocity);
}

bool VelocityMonitor::feed(std::uint32_t packedMessage)
{
    return feed(static_cast<std::uint8_t>(packedMessage & 0xFF), static_cast<std::uint8_t>((packedMessage >> 8) & 0xFF),
                static_cast<std::uint8_t>((packedMessage >> 16) & 0xFF));
}

bool VelocityMonitor::feed(std::uint8_t status, std::uint8_t note, std::uint8_t velocity)
{
    if ((status & 0xF0) != 0x90 || note > 0x7F)
        return false;
    return addVelocity(velocity);
}

bool VelocityMonitor::addVelocity(int velocity)
{
    if (velocity <= 0 || velocity > kMaxVelocity)
        return false;
    if (m_count == kCapacity)
        --m_histogram[m_ring[m_next]]; // the oldest leaves as the newest takes its place
    else
        ++m_count;
    m_ring[m_next] = static_cast<std::uint8_t>(velocity);
    ++m_histogram[static_cast<std::size_t>(velocity)];
    m_next = (m_next + 1) % kCapacity;
    return true;
}

void VelocityMonitor::clear()
{
    m_next = 0;
    m_count = 0;
    m_histogram.fill(0);
}

std::optional<int> VelocityMonitor::lastVelocity() const
{
    if (m_count == 0)
        return std::nullopt;
    return m_ring[(m_next + kCapacity - 1) % kCapacity];
}

std::vector<int> VelocityMonitor::recent() const
{
    std::vector<int> out;
    out.reserve(m_count);
    const std::size_t oldest = (m_next + kCapacity - m_count) % kCapacity;
    for (std::size_t i = 0; i < m_count; ++i)
        out.push_back(m_ring[(oldest + i) % kCapacity]);
    return out;
}

std::vector<int> VelocityMonitor::histogramBins(int binCount) const
{
    const int bins = std::clamp(binCount, 1, static_cast<int>(kTableSize));
    std::vector<int> out(static_cast<std::size_t>(bins), 0);
    for (std::size_t v = 0; v < kTableSize; ++v)
        out[v * static_cast<std::size_t>(bins) / kTableSize] += m_histogram[v];
    return out;
}

std::optional<VelocityLanding> VelocityMonitor::lastLanding(const Table& table) const
{
    const auto last = lastVelocity();
    if (!last)
        return std::nullopt;
    return VelocityLanding{*last, mapThroughCurve(table, *last)};
}

VelocityMonitor::Histogram VelocityMonitor::mappedHistogram(const Table& table) const
{
    Histogram out{};
    for (std::size_t v = 0; v < kTableSize; ++v) {
        if (m_histogram[v] == 0)
            continue;
        out[static_cast<std::size_t>(mapThroughCurve(table, static_cast<int>(v)))] += m_histogram[v];
    }
    return out;
}

} // namespace quillon::curve
