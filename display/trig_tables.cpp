#include "display/trig_tables.h"

#include <cmath>

namespace veldra {
namespace {

constexpr int32_t tableSize = 1024;  // entries per table: one turn
constexpr double twoPi = 6.283185307179586;
constexpr double stepFactor = 0.0009765625;  // 1 / 1024
constexpr double scale = 1024.0;

struct TrigTables {
    int32_t cosine[tableSize];  // cos(i turn / 1024) * 1024, truncated; built once
    int32_t sine[tableSize];    // sin(i turn / 1024) * 1024, truncated; built once
};

TrigTables tables{};

}  // namespace

void buildTrigTables() {
    for (int32_t i = 0; i < tableSize; ++i) {
        const double angle = (static_cast<double>(i) * twoPi) * stepFactor;
        tables.cosine[i] = static_cast<int32_t>(std::cos(angle) * scale);
        tables.sine[i] = static_cast<int32_t>(std::sin(angle) * scale);
    }
}

int32_t cos1024(uint32_t angle) {
    return tables.cosine[angle & (tableSize - 1)];
}

int32_t sin1024(uint32_t angle) {
    return tables.sine[angle & (tableSize - 1)];
}

void resetTrigTables() {
    tables = TrigTables{};
}

}  // namespace veldra
