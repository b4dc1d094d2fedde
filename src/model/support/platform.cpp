#include "platform.h"

#include <cstdlib>

#include <QFile>

namespace {

bool ForbiddenOnWindows(ushort c)
{
    return c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '\\'
            || c == '|' || c == '?' || c == '*';
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (the superscript digits too):
// Windows opens the device instead, whatever extension follows.
bool ReservedOnWindows(const QString &stem)
{
    if (stem.size() == 3) {
        static const char *const devices[] = {"CON", "PRN", "AUX", "NUL"};
        for (const char *device : devices) {
            if (stem.compare(QLatin1String(device), Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
    if (stem.size() != 4)
        return false;
    const QStringView prefix = QStringView(stem).left(3);
    if (prefix.compare(QLatin1String("COM"), Qt::CaseInsensitive) != 0
        && prefix.compare(QLatin1String("LPT"), Qt::CaseInsensitive) != 0)
        return false;
    const ushort digit = stem.at(3).unicode();
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

} // namespace

QString Platform::PortableFileName(const QString &name)
{
    QString portable = name;
    for (QChar &c : portable) {
        if (ForbiddenOnWindows(c.unicode()))
            c = QLatin1Char('_');
    }
    // Windows drops dots and spaces at the end of a name: "Sale." would be
    // saved as "Sale" and meet another category's file.
    for (int i = portable.size() - 1; i >= 0; --i) {
        const QChar c = portable.at(i);
        if (c != QLatin1Char('.') && c != QLatin1Char(' '))
            break;
        portable[i] = QLatin1Char('_');
    }
    const int dot = portable.indexOf(QLatin1Char('.'));
    if (ReservedOnWindows(dot < 0 ? portable : portable.left(dot)))
        portable.insert(dot < 0 ? portable.size() : dot, QLatin1Char('_'));
    if (portable.isEmpty())
        portable = QStringLiteral("_");
    return portable;
}

#ifdef FIDMORA_READS_UNMAPPED
// Feeds are read with plain reads: a file that shrinks under the reader
// makes a read come short, which the readers tell as a failed read, and no
// guard is needed.

const char *Platform::MapReadOnly(QFile &, qint64)
{
    return nullptr;
}

void Platform::Unmap(const char *, qint64)
{
}

void Platform::ReleasePages(const char *, qint64, qint64, qint64)
{
}

bool Platform::RunGuarded(void (*work)(void *), void *context)
{
    work(context);
    return true;
}

qint64 Platform::ReadAt(QFile &file, char *dst, qint64 pos, qint64 size)
{
    // The file's position moves, which is why its reader holds it alone.
    if (!file.seek(pos))
        return 0;
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(dst + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

bool Platform::MapsFiles()
{
    return false;
}
#endif
