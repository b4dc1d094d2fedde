#include "benchutil.h"

#include <cstdio>

#include <QtGlobal>
#ifdef Q_OS_WIN
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <QFile>

namespace Bench
{

namespace
{

qint64 StatusField(const char *name)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(name) + ':';
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (!line.startsWith(prefix))
            continue;
        QByteArray value = line.mid(prefix.size()).trimmed();
        if (value.endsWith(" kB"))
            value.chop(3);
        bool ok = false;
        const qint64 kb = value.trimmed().toLongLong(&ok);
        return ok ? kb : -1;
    }
    return -1;
}

} // namespace

#ifdef Q_OS_WIN
// The working set, as Windows (and Wine) count it.
qint64 PeakRssKb()
{
    PROCESS_MEMORY_COUNTERS counters {};
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
            ? qint64(counters.PeakWorkingSetSize / 1024) : -1;
}

qint64 CurrentRssKb()
{
    PROCESS_MEMORY_COUNTERS counters {};
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
            ? qint64(counters.WorkingSetSize / 1024) : -1;
}
#else
qint64 PeakRssKb()
{
    return StatusField("VmHWM");
}

qint64 CurrentRssKb()
{
    return StatusField("VmRSS");
}
#endif

void Figure(const QByteArray &name, double value)
{
    std::printf("FIGURE %s %.6f\n", name.constData(), value);
    std::fflush(stdout);
}

void Say(const QString &text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

double Seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

CpuTimes Cpu()
{
    CpuTimes times;
#ifdef Q_OS_WIN
    FILETIME created, ended, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) {
        const auto seconds = [](const FILETIME &time) {
            return double((quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
        };
        times.user = seconds(user);
        times.system = seconds(kernel);
    }
#else
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) == 0) {
        times.user = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
        times.system = double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
    }
#endif
    return times;
}

QString CpuSince(const CpuTimes &start)
{
    const CpuTimes now = Cpu();
    return QStringLiteral("user %1 s, system %2 s")
            .arg(now.user - start.user, 0, 'f', 2)
            .arg(now.system - start.system, 0, 'f', 2);
}

double CpuSecondsSince(const CpuTimes &start)
{
    const CpuTimes now = Cpu();
    return (now.user - start.user) + (now.system - start.system);
}

} // namespace Bench
