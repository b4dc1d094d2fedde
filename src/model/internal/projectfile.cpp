#include "projectfile.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamWriter>

#include "exportfile.h"
#include "icatalogue.h"
#include "offer.h"
#include "schema.h"
#include "shownaddress.h"
#include "sourcerecord.h"
#include "xmlelementwalker.h"

namespace {

// What an entry of a list option adds to the list's key, written and read.
const QLatin1String kItem("/item");

// Characters that XML 1.0 cannot carry are left out, so that a stray control
// character from a feed never makes the whole project unreadable. So are
// halves of surrogate pairs without their other half (a document in UTF-7
// can decode to them), which UTF-8 cannot carry either.
bool IsXmlSafe(const QString &text, int i)
{
    const ushort u = text.at(i).unicode();
    if (u < 0x20)
        return u == 0x9 || u == 0xA || u == 0xD;
    if (u == 0xFFFE || u == 0xFFFF)
        return false;
    if (QChar::isHighSurrogate(u))
        return i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
    if (QChar::isLowSurrogate(u))
        return i > 0 && text.at(i - 1).isHighSurrogate();
    return true;
}

QString XmlSafe(const QString &text)
{
    int i = 0;
    while (i < text.size() && IsXmlSafe(text, i))
        ++i;
    if (i == text.size())
        return text;
    QString result = text.left(i);
    for (++i; i < text.size(); ++i) {
        if (IsXmlSafe(text, i))
            result.append(text.at(i));
    }
    return result;
}

void WriteRules(QXmlStreamWriter &xml, const char *comment, const char *element, const QList<CategoryRule> &rules)
{
    if (rules.isEmpty())
        return;
    xml.writeComment(QLatin1String(comment));
    xml.writeStartElement(QLatin1String(element));
    for (const CategoryRule &rule : rules) {
        xml.writeEmptyElement(QStringLiteral("category"));
        xml.writeAttribute(QStringLiteral("name"), XmlSafe(rule.ToText()));
    }
    xml.writeEndElement();
}

bool IsBelowPath(const QString &key, const QString &path)
{
    return path.isEmpty() || key == path || (key.startsWith(path) && key.at(path.size()) == QLatin1Char('/'));
}

void WriteOptions(QXmlStreamWriter &xml, const QMap<QString, QString> &options,
                  const QMap<QString, QStringList> &lists)
{
    std::vector<std::pair<QString, QString>> pairs;
    for (auto it = options.constBegin(); it != options.constEnd(); ++it)
        pairs.emplace_back(it.key(), it.value());
    QSet<QString> listKeys;
    for (auto it = lists.constBegin(); it != lists.constEnd(); ++it) {
        if (it.value().isEmpty())
            continue;
        listKeys.insert(it.key());
        for (const QString &entry : it.value())
            pairs.emplace_back(it.key() + kItem, entry);
    }
    // The entries of a list are written together, first among the children
    // of its key.
    const auto order = [&listKeys](const QString &key) {
        if (key.endsWith(kItem) && listKeys.contains(key.left(key.size() - kItem.size())))
            return QString(key.left(key.size() - kItem.size() + 1) + QChar(1));
        return key;
    };
    std::stable_sort(pairs.begin(), pairs.end(),
                     [&order](const auto &a, const auto &b) { return order(a.first) < order(b.first); });

    xml.writeStartElement(QStringLiteral("options"));
    QStringList open(QString{});
    QString lastName;
    for (const auto &pair : pairs) {
        const QString &key = pair.first;
        while (!IsBelowPath(key, open.last())) {
            open.removeLast();
            xml.writeEndElement();
        }
        if (key == open.last() && open.size() > 1) {
            // The next entry of a list: a sibling element of the same name.
            xml.writeEndElement();
            xml.writeStartElement(lastName);
            if (listKeys.contains(key))
                xml.writeAttribute(QStringLiteral("type"), QStringLiteral("array"));
        } else {
            const QString top = open.last();
            const QStringList parts = key.mid(top.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
            for (const QString &part : parts) {
                const QString path = open.last().isEmpty() ? part : open.last() + QLatin1Char('/') + part;
                open.append(path);
                lastName = XmlSafe(part);
                xml.writeStartElement(lastName);
                if (listKeys.contains(path))
                    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("array"));
            }
        }
        xml.writeAttribute(QStringLiteral("val"), XmlSafe(pair.second));
    }
    while (open.size() > 1) {
        open.removeLast();
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

// True when the project holds a password: an option named so, or an
// address with one in it (an offer's feed, a site typed with its login).
bool HoldsPassword(const ICatalogue &catalogue)
{
    const QMap<QString, QString> &options = catalogue.Options();
    for (auto it = options.constBegin(); it != options.constEnd(); ++it) {
        if (it.value().isEmpty())
            continue;
        if (it.key().section(QLatin1Char('/'), -1).contains(QLatin1String("password"), Qt::CaseInsensitive)
                || ShownAddress::HasPassword(it.value()))
            return true;
    }
    const QMap<QString, QStringList> &lists = catalogue.ArrayOptions();
    for (auto it = lists.constBegin(); it != lists.constEnd(); ++it) {
        for (const QString &value : it.value()) {
            if (ShownAddress::HasPassword(value))
                return true;
        }
    }
    for (const Offer &offer : catalogue.Offers()) {
        if (ShownAddress::HasPassword(offer.exportUrl) || ShownAddress::HasPassword(offer.url))
            return true;
    }
    for (const SourceRecord &source : catalogue.SourceRecords()) {
        if (source.kind == SourceRecord::Url && ShownAddress::HasPassword(source.location))
            return true;
    }
    return false;
}

// Reading state of one project file.
class ProjectReader
{
public:
    ProjectReader(ICatalogue &catalogue, const QString &folder) : m_catalogue(catalogue), m_folder(folder) {}

    // The option key of an element of the options, or an empty string.
    static QString OptionKey(const QString &path);

    // Keys that some element of the document declares a list.
    void DeclareLists(const QString &path, const QXmlStreamAttributes &attributes);
    void Act(const QString &path, const QXmlStreamAttributes &attributes, const QString &text);

private:
    ICatalogue &m_catalogue;
    QString m_folder; // the project file's, against which relative paths are read
    Offer *m_offer = nullptr;
    QSet<QString> m_listKeys;
};

QString ProjectReader::OptionKey(const QString &path)
{
    static const QLatin1String options("/settings/options/");
    return path.startsWith(options) ? path.mid(options.size()) : QString();
}

void ProjectReader::DeclareLists(const QString &path, const QXmlStreamAttributes &attributes)
{
    const QString key = OptionKey(path);
    if (!key.isEmpty() && attributes.value(QLatin1String("type")) == QLatin1String("array"))
        m_listKeys.insert(key);
}

void ProjectReader::Act(const QString &path, const QXmlStreamAttributes &attributes, const QString &text)
{
    const auto attr = [&attributes](const char *name) { return attributes.value(QLatin1String(name)).toString(); };
    if (path == QLatin1String("/settings/sources/source")) {
        // A kind this program does not know (a later one's) is passed over.
        SourceRecord source;
        if (!SourceRecord::KindOfName(attributes.value(Schema::Project::SourceKind).toString(), &source.kind))
            return;
        source.location = attributes.value(Schema::Project::SourceLocation).toString();
        if (source.location.isEmpty())
            return;
        // A file named relative to the project (one written by hand, or
        // shipped beside its feeds) is the one beside the project.
        if (source.kind == SourceRecord::File && QFileInfo(source.location).isRelative())
            source.location = QDir(m_folder).absoluteFilePath(source.location);
        source.isBase = attributes.value(Schema::Project::SourceBase) == QLatin1String("true");
        source.login = attributes.value(Schema::Project::SourceLogin).toString();
        m_catalogue.SourceRecords().append(source);
        return;
    }
    if (path.startsWith(QLatin1String("/settings/offers"))) {
        if (path == QLatin1String("/settings/offers/offer")) {
            const QString name = attr("name");
            if (name.isEmpty()) {
                m_offer = nullptr;
                return;
            }
            m_offer = m_catalogue.FindOrCreateOffer(name);
            const QString prefix = attr("prefix");
            if (!prefix.isEmpty()) {
                m_offer->prefix = prefix;
                m_catalogue.IndexOffer(prefix, m_offer);
            }
            const QString url = attr("url");
            if (!url.isEmpty()) {
                m_offer->url = url;
                m_catalogue.IndexOffer(url, m_offer);
                if (url.startsWith(QLatin1String("http://")) && !url.startsWith(QLatin1String("http://www.")))
                    m_catalogue.IndexOffer(QLatin1String("http://www.") + url.mid(7), m_offer);
            }
            return;
        }
        if (!m_offer)
            return;
        if (path == QLatin1String("/settings/offers/offer/export")) {
            m_offer->format = attr("format");
            m_offer->autoload = attr("autoload") == QLatin1String("true");
            m_offer->exportUrl = text;
        } else if (path == QLatin1String("/settings/offers/offer/rename/category")) {
            const QString from = attr("from");
            const QString to = attr("to");
            if (!from.isEmpty() && !to.isEmpty()) {
                RenameTarget target;
                target.to = to;
                target.merge = attr("merge") == QLatin1String("true");
                m_offer->rename.insert(CategoryRule::FromText(from), target);
            }
        } else if (path == QLatin1String("/settings/offers/offer/include/category")) {
            const QString name = attr("name");
            if (!name.isEmpty())
                m_offer->include.append(CategoryRule::FromText(name));
        } else if (path == QLatin1String("/settings/offers/offer/exclude/category")) {
            const QString name = attr("name");
            if (!name.isEmpty())
                m_offer->exclude.append(CategoryRule::FromText(name));
        } else if (path == QLatin1String("/settings/offers/offer/other")) {
            m_offer->includeOther = attr("action") != QLatin1String("exclude");
        }
        return;
    }
    const QString key = OptionKey(path);
    const QString value = attr("val");
    if (key.isEmpty() || value.isEmpty())
        return;
    // Every "item" of a list key is an entry of that list, wherever it
    // stands among the key's children: a scalar of the same name could not
    // be told from an entry when the project is saved again.
    if (key.endsWith(kItem)) {
        const QString list = key.left(key.size() - kItem.size());
        if (m_listKeys.contains(list)) {
            m_catalogue.AppendArrayOption(list, value);
            return;
        }
    }
    m_catalogue.SetOption(key, value);
}

} // namespace

bool ProjectFile::Write(QIODevice *device, const StableList<Offer> &offers, const QMap<QString, QString> &options,
                        const QMap<QString, QStringList> &lists, const QList<SourceRecord> &sources)
{
    QXmlStreamWriter xml(device);
    // UTF-8, which the writer of every Qt version writes unasked.
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(4);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("settings"));
    if (!options.isEmpty() || !lists.isEmpty())
        WriteOptions(xml, options, lists);
    xml.writeStartElement(QStringLiteral("offers"));
    for (const Offer &offer : offers) {
        xml.writeStartElement(QStringLiteral("offer"));
        xml.writeAttribute(QStringLiteral("url"), XmlSafe(offer.url));
        xml.writeAttribute(QStringLiteral("prefix"), XmlSafe(offer.prefix));
        xml.writeAttribute(QStringLiteral("name"), XmlSafe(offer.name));
        xml.writeStartElement(QStringLiteral("export"));
        xml.writeAttribute(QStringLiteral("autoload"),
                           offer.autoload ? QStringLiteral("true") : QStringLiteral("false"));
        xml.writeAttribute(QStringLiteral("format"), XmlSafe(offer.format));
        xml.writeCDATA(XmlSafe(offer.exportUrl));
        xml.writeEndElement();
        WriteRules(xml, " include ", "include", offer.include);
        WriteRules(xml, " exclude ", "exclude", offer.exclude);
        if (!offer.rename.isEmpty()) {
            xml.writeComment(QStringLiteral(" rename: from -> to, merge subcategories "));
            xml.writeStartElement(QStringLiteral("rename"));
            for (auto it = offer.rename.constBegin(); it != offer.rename.constEnd(); ++it) {
                xml.writeEmptyElement(QStringLiteral("category"));
                xml.writeAttribute(QStringLiteral("from"), XmlSafe(it.key().ToText()));
                xml.writeAttribute(QStringLiteral("to"), XmlSafe(it.value().to));
                xml.writeAttribute(QStringLiteral("merge"),
                                   it.value().merge ? QStringLiteral("true") : QStringLiteral("false"));
            }
            xml.writeEndElement();
        }
        xml.writeComment(QStringLiteral(" include or exclude "));
        xml.writeEmptyElement(QStringLiteral("other"));
        xml.writeAttribute(QStringLiteral("action"),
                           offer.includeOther ? QStringLiteral("include") : QStringLiteral("exclude"));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    // A project without loads is written as it always was.
    if (!sources.isEmpty()) {
        xml.writeStartElement(Schema::Project::Sources);
        for (const SourceRecord &source : sources) {
            xml.writeEmptyElement(Schema::Project::Source);
            xml.writeAttribute(Schema::Project::SourceKind, SourceRecord::KindName(source.kind));
            xml.writeAttribute(Schema::Project::SourceBase,
                               source.isBase ? QStringLiteral("true") : QStringLiteral("false"));
            xml.writeAttribute(Schema::Project::SourceLocation, XmlSafe(source.location));
            if (!source.login.isEmpty())
                xml.writeAttribute(Schema::Project::SourceLogin, XmlSafe(source.login));
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError();
}

bool ProjectFile::Save(const ICatalogue &catalogue, const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    // A link is followed only to a file of this user, as for exports.
    QString target;
    QString refused;
    if (!ExportFile::Resolve(path, &target, &refused))
        return fail(refused);
    // The project replaces a file: a pipe or a device would be replaced by one.
    const QFileInfo info(target);
    if (info.exists() && !info.isFile())
        return fail(tr("%1 не является обычным файлом").arg(shown));
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return fail(tr("Не удалось создать файл проекта %1: %2").arg(shown, file.errorString()));
    // A project that holds a password is for its owner's eyes alone, from
    // its first byte on.
    if (HoldsPassword(catalogue)
            && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                    | QFileDevice::WriteUser)) {
        file.cancelWriting();
        return fail(tr("Не удалось закрыть файл проекта %1 от других пользователей: %2")
                            .arg(shown, file.errorString()));
    }
    if (!Write(&file, catalogue.Offers(), catalogue.Options(), catalogue.ArrayOptions(), catalogue.SourceRecords())) {
        file.cancelWriting();
        return fail(tr("Не удалось записать файл проекта %1").arg(shown));
    }
    if (!file.commit())
        return fail(tr("Не удалось записать файл проекта %1: %2").arg(shown, file.errorString()));
    return true;
}

bool ProjectFile::Load(ICatalogue &catalogue, const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(tr("Файл проекта %1 не найден").arg(shown));
    if (!info.isFile())
        return fail(tr("%1 не является обычным файлом").arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(tr("Не удалось прочитать файл проекта %1").arg(shown));

    // The document is read whole before anything of it is applied: a
    // project cut short or spoilt in the middle changes nothing.
    struct Element
    {
        QString path;
        QXmlStreamAttributes attributes;
        QString text;
    };
    std::vector<Element> elements;
    XmlElementWalker walker;
    const bool read = walker.Walk(&file, [&elements](const QString &elementPath,
                                                     const QXmlStreamAttributes &attributes, const QString &text) {
        elements.push_back(Element{elementPath, attributes, text});
        return true;
    });
    if (!read)
        return fail(tr("Файл проекта %1 повреждён: %2").arg(shown, walker.ErrorText()));
    if (walker.RootName() != QLatin1String("settings"))
        return fail(tr("Файл %1 не является проектом Fidmora").arg(shown));

    ProjectReader reader(catalogue, info.absolutePath());
    for (const Element &element : elements)
        reader.DeclareLists(element.path, element.attributes);
    for (const Element &element : elements)
        reader.Act(element.path, element.attributes, element.text);
    for (Offer &offer : catalogue.Offers())
        offer.NormaliseRules();
    return true;
}
