#include "RandomSource.h"

#include <QtCore/QRandomGenerator>

std::uint32_t SystemRandom::Random(std::uint32_t bound) {
    return QRandomGenerator::system()->bounded(bound);
}
