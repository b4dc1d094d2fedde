#pragma once

#include <QEventLoop>
#include <QMutex>
#include <QStringList>

#include "iprogress.h"

// Records every report; answers false from the report numbered cancelAt on
// (counting from 1), as a Cancel pressed at that moment would.
class RecordingProgress final : public IProgress
{
public:
    explicit RecordingProgress(int cancelAt = 0) : m_cancelAt(cancelAt) {}
    virtual ~RecordingProgress() = default;

    bool Report(int current, int max, const QString &msg) override
    {
        QMutexLocker locker(&m_mutex);
        reports << QStringLiteral("%1/%2 %3").arg(current).arg(max).arg(msg);
        return m_cancelAt <= 0 || reports.size() < m_cancelAt;
    }
    void BindEventLoop(QEventLoop *loop) override { boundLoop = loop; }

    QStringList reports;
    QEventLoop *boundLoop = nullptr;

private:
    QMutex m_mutex;
    int m_cancelAt;
};
