#include "projectstate.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QMap>
#include <QStringList>

#include "filteroptions.h"
#include "icatalogue.h"
#include "projectfile.h"
#include "sourcerecord.h"

QByteArray ProjectState::Of(const ICatalogue &catalogue, const Filter &filter, const QString &filterPrefix)
{
    // The filter is stored into the options as the project is saved: the
    // live one counts, not what the options held before.
    QMap<QString, QString> options = catalogue.Options();
    QMap<QString, QStringList> lists = catalogue.ArrayOptions();
    const QString below = filterPrefix + QLatin1Char('/');
    for (auto it = options.begin(); it != options.end();)
        it = it.key().startsWith(below) ? options.erase(it) : it + 1;
    for (auto it = lists.begin(); it != lists.end();)
        it = it.key().startsWith(below) ? lists.erase(it) : it + 1;
    FilterOptions::Entries(catalogue.Root(), filterPrefix, filter, &options, &lists);

    QByteArray document;
    QBuffer buffer(&document);
    buffer.open(QIODevice::WriteOnly);
    ProjectFile::Write(&buffer, catalogue.Offers(), options, lists, catalogue.SourceRecords());
    return QCryptographicHash::hash(document, QCryptographicHash::Sha1);
}
