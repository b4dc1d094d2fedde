#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

// Helpers shared by the benchmark programs: wall-clock timing, the memory
// figures of the process and the "FIGURE name value" lines that compare.sh
// reads back.
namespace Bench
{

// Peak resident set of this process so far (VmHWM), in kB; -1 when unknown.
qint64 PeakRssKb();
// Current resident set (VmRSS), in kB; -1 when unknown.
qint64 CurrentRssKb();

// One machine-readable line: "FIGURE name value".
void Figure(const QByteArray &name, double value);
// A human-readable line on standard output.
void Say(const QString &text);

// Seconds since the timer was started.
double Seconds(const QElapsedTimer &timer);

// Processor time of this process so far, in seconds: in the program itself
// (user) and in the kernel on its behalf (system: reads, writes, paging).
struct CpuTimes
{
    double user = 0;
    double system = 0;
};
CpuTimes Cpu();
// "user U s, system S s" spent since the given moment.
QString CpuSince(const CpuTimes &start);
// User and system seconds together since the given moment.
double CpuSecondsSince(const CpuTimes &start);

// A small fast generator (SplitMix64): the same seed gives the same numbers
// on every platform and compiler.
class Random
{
public:
    explicit Random(quint64 seed = 0) : m_state(seed) {}

    void Seed(quint64 seed) { m_state = seed; }
    quint64 Next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, bound); bound > 0.
    quint32 Below(quint32 bound) { return quint32((Next() >> 32) * bound >> 32); }
    // Uniform in [0, 1).
    double Unit() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    bool Chance(double probability) { return Unit() < probability; }

    // A seed mixed from two numbers, for generators that must be reproducible
    // per row or per product.
    static quint64 Mix(quint64 a, quint64 b)
    {
        Random r(a ^ (b * 0xD1B54A32D192ED03ULL));
        return r.Next();
    }

private:
    quint64 m_state;
};

} // namespace Bench
