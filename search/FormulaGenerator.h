#pragma once

#include "search/SearchCandidate.h"

#include <QString>
#include <cstdint>
#include <random>

// What a candidate is built from: the operand count N and the tail constant, either the given
// number or a random digit 0..9.
struct GeneratorOptions
{
    int operandCount = 8;
    bool randomTail = false;
    int givenTail = 0;
};

// Builds random search candidates: N parameters drawn uniformly from the 77 of the draw record
// (repeats allowed), then the tail. Each generator is one stream of a 64-bit Mersenne Twister
// seeded from (seed, stream); the search gives every block of candidates its own stream, so a run
// with a fixed seed yields the same candidates whatever the number of threads.
class FormulaGenerator
{
public:
    FormulaGenerator(std::uint64_t seed, std::uint64_t stream);

    // A seed from the clock and the system's entropy source, different at every call.
    static std::uint64_t freshSeed();
    // The tail of the "指定" box: a numeric text rounded to an integer (halves to the even
    // neighbour: 2.5 gives 2, 7.5 gives 8); 0 when the text is not a number. False with a message
    // when the number does not fit 16 bits.
    static bool givenTail(const QString& text, int* tail, QString* error);

    void next(const GeneratorOptions& options, SearchCandidate* out);
    // i = floor(r × n) for r uniform in [0, 1): a parameter column (n = 77) or a tail digit (n = 10).
    int below(int n) { return static_cast<int>(uniform() * n); }

private:
    double uniform() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }

    std::mt19937_64 m_engine;
};
