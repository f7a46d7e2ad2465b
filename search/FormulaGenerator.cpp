#include "search/FormulaGenerator.h"

#include "history/ParameterTable.h"
#include "search/NumericText.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>

namespace {

std::mt19937_64 seeded(std::uint64_t seed, std::uint64_t stream)
{
    std::seed_seq sequence{std::uint32_t(seed), std::uint32_t(seed >> 32), std::uint32_t(stream),
                           std::uint32_t(stream >> 32)};
    return std::mt19937_64(sequence);
}

} // namespace

FormulaGenerator::FormulaGenerator(std::uint64_t seed, std::uint64_t stream) : m_engine(seeded(seed, stream))
{
}

std::uint64_t FormulaGenerator::freshSeed()
{
    std::random_device entropy;
    const std::uint64_t device = (std::uint64_t(entropy()) << 32) ^ entropy();
    const auto clock =
        static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    // The clock alone separates runs where the entropy source is a fixed sequence; mixing both
    // through the seed sequence spreads every bit.
    std::seed_seq sequence{std::uint32_t(device), std::uint32_t(device >> 32), std::uint32_t(clock),
                           std::uint32_t(clock >> 32)};
    std::array<std::uint32_t, 2> mixed{};
    sequence.generate(mixed.begin(), mixed.end());
    return (std::uint64_t(mixed[0]) << 32) | mixed[1];
}

bool FormulaGenerator::givenTail(const QString& text, int* tail, QString* error)
{
    const std::optional<double> v = NumericText::value(text);
    if (!v) {
        *tail = 0;
        return true;
    }
    const double rounded = std::nearbyint(*v); // the default rounding mode: halves to even
    if (rounded < -32768 || rounded > 32767) {
        *error =
            QStringLiteral("公式末尾偏移常数“%1”超出范围，请输入-32768到32767之间的数。").arg(text.trimmed());
        return false;
    }
    *tail = static_cast<int>(rounded);
    return true;
}

void FormulaGenerator::next(const GeneratorOptions& options, SearchCandidate* out)
{
    out->operandCount =
        std::clamp(options.operandCount, SearchCandidate::kMinOperands, SearchCandidate::kMaxOperands);
    for (int i = 0; i < out->operandCount; ++i)
        out->operands[i] = static_cast<std::uint8_t>(below(kParameterCount));
    out->tail = options.randomTail ? below(10) : options.givenTail;
}
