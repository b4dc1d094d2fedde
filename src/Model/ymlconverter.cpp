#include "ymlconverter.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include "csvmanipulator.h"
#include "csvrawrow.h"
#include "csvrowbuilder.h"
#include "iprogress.h"

namespace {

const int kMaxDepth = 256;              // as deep as a project file may nest
const qint64 kChunk = 1 << 20;          // bytes handed to the parser at a time
const int kFlushAt = 4 << 20;           // rows reach the file in blocks of about this size
const size_t kMaxText = 64u << 20;      // the longest text of one element
const qint64 kDetectLimit = 16 << 20;   // how far detection looks for the document element
// The offers whose param columns are learnt before any row is written: when
// the others bring no new column, the rows go to the file once.
const int kHeadOffers = 1000;

void InitLibrary()
{
    static const bool done = (xmlInitParser(), true);
    Q_UNUSED(done)
}

// The columns every converted catalogue has, in this order. Columns for the
// offers' params (and "idTpl" once some offer needs one) follow in the order
// in which they first appear.
enum Column {
    IdColumn,
    AvailableColumn,
    GroupColumn,
    NameColumn,
    PriceColumn,
    OldPriceColumn,
    CurrencyColumn,
    UrlColumn,
    VendorColumn,
    VendorCodeColumn,
    DescriptionColumn,
    PictureColumn,
    PicturesColumn,
    CategoryColumn,
    FixedColumns
};
const char *const kColumnNames[FixedColumns] = {"id",      "available", "group_id",   "name",        "price",
                                                "oldprice", "currencyId", "url",      "vendor",      "vendorCode",
                                                "description", "picture", "pictures", "categoryId"};

// Elements of an offer whose text is taken.
enum Text {
    NameText,
    PriceText,
    OldPriceText,
    CurrencyText,
    UrlText,
    VendorText,
    VendorCodeText,
    DescriptionText,
    TypePrefixText,
    ModelText,
    CategoryText,
    TextCount
};
// The text an element of an offer gives, TextCount for none.
Text TextOf(const char *name)
{
    const auto is = [name](const char *candidate) { return std::strcmp(name, candidate) == 0; };
    switch (name[0]) {
    case 'n': return is("name") ? NameText : TextCount;
    case 'p': return is("price") ? PriceText : TextCount;
    case 'o': return is("oldprice") ? OldPriceText : TextCount;
    case 'c': return is("currencyId") ? CurrencyText : is("categoryId") ? CategoryText : TextCount;
    case 'u': return is("url") ? UrlText : TextCount;
    case 'v': return is("vendor") ? VendorText : is("vendorCode") ? VendorCodeText : TextCount;
    case 'd': return is("description") ? DescriptionText : TextCount;
    case 't': return is("typePrefix") ? TypePrefixText : TextCount;
    case 'm': return is("model") ? ModelText : TextCount;
    default: return TextCount;
    }
}

// HTML elements that never have content; the others are written with an
// end tag even when empty.
bool IsVoidElement(const char *name)
{
    static const char *const names[] = {"br", "hr", "img", "wbr", "input", "col", "area", "source", "embed"};
    for (const char *candidate : names) {
        if (std::strcmp(name, candidate) == 0)
            return true;
    }
    return false;
}

// What an open element is, by its place in the document.
enum Kind { Other, Catalog, Shop, Categories, Category, Offers, Offer, OfferText, Picture, Param, Markup };

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void Trim(std::string &text)
{
    size_t end = text.size();
    while (end > 0 && IsSpace(text[end - 1]))
        --end;
    size_t begin = 0;
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    text.erase(end);
    text.erase(0, begin);
}

// The value of one attribute of the parser's list (name, prefix, URI,
// value, end of value). The parser hands "&" over as its character
// reference, the one reference left in a value.
void AttributeValue(const xmlChar **attribute, std::string *value)
{
    value->assign(reinterpret_cast<const char *>(attribute[3]), size_t(attribute[4] - attribute[3]));
    for (size_t at = value->find("&#38;"); at != std::string::npos; at = value->find("&#38;", at + 1))
        value->replace(at, 5, 1, '&');
}

// The trimmed value of the attribute with the name and no prefix; false
// when the element has none.
bool Attribute(int count, const xmlChar **attributes, const char *name, std::string *value)
{
    for (int i = 0; i < count; ++i) {
        const xmlChar **attribute = attributes + 5 * i;
        if (attribute[1] || std::strcmp(reinterpret_cast<const char *>(attribute[0]), name) != 0)
            continue;
        AttributeValue(attribute, value);
        Trim(*value);
        return true;
    }
    return false;
}

void AppendEscaped(std::string &out, const std::string &value)
{
    for (const char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
}

struct CategoryEntry
{
    std::string name;
    std::string parent;
    std::string path;
    int state = 0; // 0 not resolved, 1 being resolved, 2 resolved
};
// The categories by id, and their ids in the order they were first declared.
struct CategoryTable
{
    std::unordered_map<std::string, CategoryEntry> byId;
    std::vector<std::string> order;
};

// Gives every category the path of names from its top category down,
// joined by "/". A parent may be declared after its child; a parent that is
// not declared, or a loop of parents, makes a top category.
void ResolvePaths(CategoryTable &categories)
{
    auto &table = categories.byId;
    std::vector<CategoryEntry *> chain;
    for (const std::string &id : categories.order) {
        CategoryEntry *entry = &table[id];
        if (entry->state == 2)
            continue;
        chain.clear();
        const std::string *above = nullptr;
        for (;;) {
            entry->state = 1;
            chain.push_back(entry);
            const auto parent = entry->parent.empty() ? table.end() : table.find(entry->parent);
            if (parent == table.end() || parent->second.state == 1)
                break;
            if (parent->second.state == 2) {
                above = &parent->second.path;
                break;
            }
            entry = &parent->second;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            CategoryEntry *node = *it;
            node->path = above ? *above : std::string();
            if (!node->name.empty()) {
                if (!node->path.empty())
                    node->path += '/';
                node->path += node->name;
            }
            node->state = 2;
            above = &node->path;
        }
    }
}

// The categories' paths by id in flat arrays, so that the lookup of every
// offer's category stays in the processor's cache.
class PathIndex
{
public:
    void Build(const CategoryTable &categories)
    {
        size_t size = 16;
        while (size < categories.order.size() * 2)
            size *= 2;
        m_slots.assign(size, Slot());
        for (const std::string &id : categories.order) {
            const int entry = int(m_paths.size());
            m_starts.push_back(m_ids.size());
            m_ids += id;
            m_paths.push_back(&categories.byId.at(id).path);
            const quint64 hash = std::hash<std::string_view>()(id);
            size_t slot = size_t(hash) & (m_slots.size() - 1);
            while (m_slots[slot].entry >= 0)
                slot = (slot + 1) & (m_slots.size() - 1);
            m_slots[slot] = {hash, entry};
        }
        m_starts.push_back(m_ids.size());
    }

    // The path of the category, null when the catalogue does not declare it.
    const std::string *Find(const std::string &id) const
    {
        const quint64 hash = std::hash<std::string_view>()(id);
        for (size_t slot = size_t(hash) & (m_slots.size() - 1);; slot = (slot + 1) & (m_slots.size() - 1)) {
            const Slot &at = m_slots[slot];
            if (at.entry < 0)
                return nullptr;
            const size_t start = m_starts[size_t(at.entry)];
            if (at.hash == hash && m_starts[size_t(at.entry) + 1] - start == id.size()
                    && std::memcmp(m_ids.data() + start, id.data(), id.size()) == 0)
                return m_paths[size_t(at.entry)];
        }
    }

private:
    struct Slot
    {
        quint64 hash = 0;
        int entry = -1;
    };
    std::vector<Slot> m_slots;                 // a power of two, at most half full
    std::string m_ids;                         // every id, one after another
    std::vector<size_t> m_starts;              // where each id begins in m_ids
    std::vector<const std::string *> m_paths;
};

// Writes blocks of rows to a file on a thread of its own: the parse goes on
// while the system copies the block before. At most two blocks wait.
class BlockWriter
{
public:
    explicit BlockWriter(QFile *file) : m_file(file), m_thread([this]() { Loop(); }) {}
    ~BlockWriter() { Finish(); }

    // Hands a block over and gives an empty one back; false once a write
    // has failed.
    bool Hand(QByteArray &block)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this]() { return m_full.size() < 2 || m_failed; });
        if (m_failed)
            return false;
        m_full.push_back(std::move(block));
        if (m_empty.empty()) {
            block = QByteArray();
            block.reserve(kFlushAt + kFlushAt / 2);
        } else {
            block = std::move(m_empty.back());
            m_empty.pop_back();
        }
        m_changed.notify_all();
        return true;
    }

    // Waits until every block is written; false when a write failed.
    bool Finish()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        return !m_failed;
    }

private:
    Q_DISABLE_COPY(BlockWriter)

    void Loop()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this]() { return !m_full.empty() || m_done; });
            if (m_full.empty())
                return;
            QByteArray block = std::move(m_full.front());
            m_full.pop_front();
            lock.unlock();
            const bool written = m_file->write(block) == block.size();
            block.resize(0); // keeps the buffer
            lock.lock();
            m_failed = m_failed || !written;
            m_empty.push_back(std::move(block));
            m_changed.notify_all();
        }
    }

    QFile *m_file;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_full;
    std::vector<QByteArray> m_empty;
    bool m_done = false;
    bool m_failed = false;
    std::thread m_thread; // last: it starts once the rest is ready
};

// One pass over the document with the push parser. The head pass learns
// the categories and the columns of the first offers and stops; the offer
// pass writes the header and a row per offer.
class YmlPass
{
    Q_DECLARE_TR_FUNCTIONS(YmlConverter)

public:
    enum Mode { HeadPass, OfferPass };

    YmlPass(Mode mode, const QString &fileName, const QString &csvName = QString())
        : m_mode(mode), m_fileName(fileName), m_csvName(csvName)
    {
        std::memset(&m_sax, 0, sizeof(m_sax));
        m_sax.initialized = XML_SAX2_MAGIC;
        m_sax.startElementNs = &YmlPass::OnStart;
        m_sax.endElementNs = &YmlPass::OnEnd;
        m_sax.characters = &YmlPass::OnText;
        m_sax.cdataBlock = &YmlPass::OnText;
        m_sax.ignorableWhitespace = &YmlPass::OnText;
        m_sax.reference = &YmlPass::OnReference;
        m_sax.entityDecl = &YmlPass::OnEntityDeclaration;
        m_sax.serror = &YmlPass::OnError;
    }
    ~YmlPass()
    {
        if (m_context)
            xmlFreeParserCtxt(m_context);
    }

    // The category table of the head pass, and the offer pass's index of it.
    CategoryTable categories;
    PathIndex paths;
    // The offer pass writes the CSV file through this.
    BlockWriter *csv = nullptr;

    // The offer pass starts with the columns the head pass found.
    void TakeColumns(YmlPass &head)
    {
        m_extraColumns.swap(head.m_extraColumns);
        m_extraNames.swap(head.m_extraNames);
        m_extraCells.assign(m_extraNames.size(), std::string());
        m_idTplColumn = head.m_idTplColumn;
    }

    // Reads the document from the start. False on malformed XML, a read or
    // write error or a cancel; Error() says which.
    bool Run(QFile &file, IProgress *progress)
    {
        m_context = xmlCreatePushParserCtxt(&m_sax, this, nullptr, 0, nullptr);
        if (!m_context || !file.seek(0)) {
            m_error = tr("Не удалось прочитать файл %1").arg(m_fileName);
            return false;
        }
        xmlCtxtUseOptions(m_context, XML_PARSE_NONET);
        m_texts.resize(TextCount);
        if (m_mode == OfferPass) {
            m_out.reserve(kFlushAt + kFlushAt / 2);
            WriteHeader();
            m_headerSize = m_out.size();
        }
        QByteArray chunk(int(kChunk), Qt::Uninitialized);
        const qint64 total = qMax<qint64>(1, file.size());
        qint64 done = 0;
        for (;;) {
            const qint64 got = file.read(chunk.data(), kChunk);
            if (got < 0) {
                m_error = tr("Не удалось прочитать файл %1").arg(m_fileName);
                return false;
            }
            const int result = xmlParseChunk(m_context, chunk.constData(), int(got), got == 0);
            if (m_failed)
                return false;
            if (m_finished)
                return true;
            if (result != 0 || !m_context->wellFormed) {
                FailMalformed();
                return false;
            }
            if (got == 0)
                break;
            done += got;
            if (progress) {
                const QString text = tr("Обработка каталога YML %1: прочитано товаров: %2").arg(m_fileName).arg(m_offers);
                if (!progress->Report(int(done * 100 / total), 100, text)) {
                    m_error = tr("Загрузка %1 отменена").arg(m_fileName);
                    return false;
                }
            }
        }
        if (m_depth != 0 || !m_sawRoot) {
            FailMalformed();
            return false;
        }
        return m_mode == HeadPass || Flush(true);
    }

    QString Error() const { return m_error; }
    int OfferCount() const { return m_offers; }
    int WithoutCategory() const { return m_withoutCategory; }
    // The header of the rows: the fixed columns, then the others.
    QStringList Header() const
    {
        QStringList header;
        for (const char *name : kColumnNames)
            header.append(QLatin1String(name));
        for (const std::string &name : m_extraNames)
            header.append(QString::fromStdString(name));
        return header;
    }
    // The rows that begin before this offset of the file lack the columns
    // that appeared after the header was written; -1 when no column did.
    qint64 ShortRowsEnd() const { return m_shortRowsEnd; }
    qint64 HeaderSize() const { return m_headerSize; }

private:
    Q_DISABLE_COPY(YmlPass)

    static void OnStart(void *self, const xmlChar *name, const xmlChar *prefix, const xmlChar *, int, const xmlChar **,
                        int attributeCount, int, const xmlChar **attributes)
    {
        static_cast<YmlPass *>(self)->Start(reinterpret_cast<const char *>(name),
                                            reinterpret_cast<const char *>(prefix), attributeCount, attributes);
    }
    static void OnEnd(void *self, const xmlChar *name, const xmlChar *prefix, const xmlChar *)
    {
        static_cast<YmlPass *>(self)->End(reinterpret_cast<const char *>(name), reinterpret_cast<const char *>(prefix));
    }
    static void OnText(void *self, const xmlChar *text, int size)
    {
        auto *pass = static_cast<YmlPass *>(self);
        if (pass->m_target)
            pass->Append(reinterpret_cast<const char *>(text), size);
    }
    // An entity the document does not declare (allowed when it names an
    // outside document type, which is never read): kept as it was written.
    static void OnReference(void *self, const xmlChar *name)
    {
        auto *pass = static_cast<YmlPass *>(self);
        if (!pass->m_target)
            return;
        const std::string reference = std::string("&") + reinterpret_cast<const char *>(name) + ';';
        pass->Append(reference.data(), int(reference.size()));
    }
    // Declared entities would be expanded by the parser: such a document is
    // refused instead.
    static void OnEntityDeclaration(void *self, const xmlChar *, int, const xmlChar *, const xmlChar *, xmlChar *)
    {
        auto *pass = static_cast<YmlPass *>(self);
        pass->Fail(tr("В каталоге YML %1 объявлены сущности (строка %2): такие каталоги не загружаются")
                           .arg(pass->m_fileName)
                           .arg(xmlSAX2GetLineNumber(pass->m_context)));
    }
    static void OnError(void *self, xmlErrorPtr error)
    {
        auto *pass = static_cast<YmlPass *>(self);
        if (error && error->level == XML_ERR_FATAL && pass->m_xmlError.isEmpty()) {
            pass->m_xmlError = QString::fromUtf8(error->message ? error->message : "").trimmed();
            pass->m_errorLine = error->line;
            pass->m_errorColumn = error->int2;
        }
    }

    // The head pass ends once the categories are known (they come first in
    // every catalogue seen so far, but need not) and the first offers were
    // seen.
    bool HeadDone()
    {
        if (m_mode != HeadPass || !m_sawCategories || (!m_sawOffers && m_offers < kHeadOffers))
            return false;
        m_finished = true;
        xmlStopParser(m_context);
        return true;
    }

    void Fail(const QString &text)
    {
        if (m_failed)
            return;
        m_failed = true;
        m_error = text;
        m_target = nullptr;
        xmlStopParser(m_context);
    }

    void FailMalformed()
    {
        if (m_xmlError.isEmpty()) {
            const xmlError *last = xmlCtxtGetLastError(m_context);
            m_xmlError = last && last->message ? QString::fromUtf8(last->message).trimmed()
                                               : tr("документ не завершён");
            m_errorLine = last && last->message ? last->line : xmlSAX2GetLineNumber(m_context);
            m_errorColumn = last && last->message ? last->int2 : xmlSAX2GetColumnNumber(m_context);
        }
        m_error = tr("Каталог YML %1 повреждён: строка %2, столбец %3: %4")
                          .arg(m_fileName)
                          .arg(m_errorLine)
                          .arg(m_errorColumn)
                          .arg(m_xmlError);
    }

    void Append(const char *text, int size)
    {
        if (m_target->size() + size_t(size) > kMaxText) {
            Fail(tr("Каталог YML %1: слишком длинный текст элемента (строка %2)")
                         .arg(m_fileName)
                         .arg(xmlSAX2GetLineNumber(m_context)));
            return;
        }
        m_target->append(text, size_t(size));
    }

    void Start(const char *name, const char *prefix, int attributeCount, const xmlChar **attributes)
    {
        if (m_failed || m_finished)
            return;
        if (m_depth >= kMaxDepth) {
            Fail(tr("Каталог YML %1: элементы вложены глубже %2 уровней (строка %3)")
                         .arg(m_fileName)
                         .arg(kMaxDepth)
                         .arg(xmlSAX2GetLineNumber(m_context)));
            return;
        }
        const Kind parent = m_depth > 0 ? m_kinds[m_depth - 1] : Other;
        Kind kind = Other;
        if (m_depth == 0) {
            if (prefix || std::strcmp(name, "yml_catalog") != 0) {
                Fail(tr("Файл %1 не является каталогом YML: его элемент верхнего уровня — %2")
                             .arg(m_fileName, QString::fromUtf8(name)));
                return;
            }
            m_sawRoot = true;
            kind = Catalog;
        } else if (prefix) {
            kind = parent == OfferText || parent == Markup ? StartMarkup(name, prefix, attributeCount, attributes)
                                                           : Other;
        } else {
            switch (parent) {
            case Catalog:
                kind = std::strcmp(name, "shop") == 0 ? Shop : Other;
                break;
            case Shop:
                if (std::strcmp(name, "categories") == 0) {
                    kind = Categories;
                } else if (std::strcmp(name, "offers") == 0) {
                    kind = Offers;
                }
                break;
            case Categories:
                if (m_mode == HeadPass && std::strcmp(name, "category") == 0) {
                    kind = Category;
                    m_categoryId.clear();
                    m_categoryParent.clear();
                    Attribute(attributeCount, attributes, "id", &m_categoryId);
                    Attribute(attributeCount, attributes, "parentId", &m_categoryParent);
                    m_categoryName.clear();
                    m_target = &m_categoryName;
                }
                break;
            case Offers:
                if (std::strcmp(name, "offer") == 0) {
                    if (HeadDone())
                        return;
                    kind = Offer;
                    BeginOffer(attributeCount, attributes);
                }
                break;
            case Offer:
                kind = StartOfferChild(name, attributeCount, attributes);
                break;
            case OfferText:
            case Markup:
                kind = StartMarkup(name, nullptr, attributeCount, attributes);
                break;
            default:
                break;
            }
        }
        m_kinds[m_depth++] = kind;
    }

    void End(const char *name, const char *prefix)
    {
        if (m_failed || m_finished || m_depth == 0)
            return;
        switch (m_kinds[--m_depth]) {
        case Categories:
            m_sawCategories = true;
            HeadDone();
            break;
        case Offers:
            m_sawOffers = true;
            HeadDone();
            break;
        case Category:
            Trim(m_categoryName);
            if (!m_categoryId.empty()) {
                const auto added = categories.byId.emplace(m_categoryId, CategoryEntry());
                if (added.second)
                    categories.order.push_back(m_categoryId);
                CategoryEntry &entry = added.first->second;
                entry.name = m_categoryName;
                entry.parent = m_categoryParent;
            }
            m_target = nullptr;
            break;
        case Offer:
            EndOffer();
            break;
        case OfferText:
            Trim(*m_target);
            m_target = nullptr;
            break;
        case Picture:
            EndPicture();
            break;
        case Param:
            EndParam();
            break;
        case Markup:
            EndMarkup(name, prefix);
            break;
        default:
            break;
        }
    }

    Kind StartOfferChild(const char *name, int attributeCount, const xmlChar **attributes)
    {
        const Text text = TextOf(name);
        if (text != TextCount) {
            m_textOpen = text;
            m_target = &m_texts[size_t(text)];
            m_target->clear();
            return OfferText;
        }
        if (std::strcmp(name, "picture") == 0) {
            m_value.clear();
            m_target = &m_value;
            return Picture;
        }
        if (std::strcmp(name, "param") == 0) {
            m_paramName.clear();
            m_paramUnit.clear();
            Attribute(attributeCount, attributes, "name", &m_paramName);
            Attribute(attributeCount, attributes, "unit", &m_paramUnit);
            m_value.clear();
            m_target = &m_value;
            return Param;
        }
        return Other;
    }

    // Markup inside a description stays as written; inside other texts
    // only its text is taken.
    Kind StartMarkup(const char *name, const char *prefix, int attributeCount, const xmlChar **attributes)
    {
        if (m_textOpen != DescriptionText || !m_target)
            return Other;
        std::string &out = *m_target;
        out += '<';
        if (prefix)
            out.append(prefix).append(1, ':');
        out += name;
        for (int i = 0; i < attributeCount; ++i) {
            const xmlChar **attribute = attributes + 5 * i;
            out += ' ';
            if (attribute[1])
                out.append(reinterpret_cast<const char *>(attribute[1])).append(1, ':');
            out += reinterpret_cast<const char *>(attribute[0]);
            out += "=\"";
            AttributeValue(attribute, &m_scratch);
            AppendEscaped(out, m_scratch);
            out += '"';
        }
        out += '>';
        m_emptyMarkupEnd = IsVoidElement(name) ? out.size() : std::string::npos;
        return Markup;
    }

    void EndMarkup(const char *name, const char *prefix)
    {
        if (!m_target)
            return;
        std::string &out = *m_target;
        // An empty line break and the like are written the short way: "<br/>".
        if (out.size() == m_emptyMarkupEnd) {
            out.insert(out.size() - 1, 1, '/');
            m_emptyMarkupEnd = std::string::npos;
            return;
        }
        out += "</";
        if (prefix)
            out.append(prefix).append(1, ':');
        out += name;
        out += '>';
    }

    void BeginOffer(int attributeCount, const xmlChar **attributes)
    {
        m_id.clear();
        m_group.clear();
        Attribute(attributeCount, attributes, "id", &m_id);
        if (!Attribute(attributeCount, attributes, "available", &m_available))
            m_available = "true";
        Attribute(attributeCount, attributes, "group_id", &m_group);
        for (std::string &text : m_texts)
            text.clear();
        m_pictures.clear();
        m_firstPicture = 0;
        m_paramPlace = 0;
        m_target = nullptr;
        m_rowStart = m_written + m_out.size();
    }

    void EndPicture()
    {
        Trim(m_value);
        m_target = nullptr;
        if (m_value.empty())
            return;
        if (!m_pictures.empty())
            m_pictures += '\n';
        m_pictures += m_value;
        if (m_firstPicture == 0)
            m_firstPicture = m_pictures.size();
    }

    void EndParam()
    {
        Trim(m_value);
        m_target = nullptr;
        if (m_paramName.empty() || m_value.empty())
            return;
        m_scratch.assign("param_").append(m_paramName);
        if (!m_paramUnit.empty())
            m_scratch.append(" (").append(m_paramUnit).append(1, ')');
        // Offers mostly list their params in the same order: the column of
        // the previous offer's param at this place is tried first.
        const size_t place = m_paramPlace++;
        int column;
        if (place < m_paramGuess.size() && m_extraNames[size_t(m_paramGuess[place])] == m_scratch) {
            column = m_paramGuess[place];
        } else {
            column = ExtraColumn(m_scratch);
            if (place >= m_paramGuess.size())
                m_paramGuess.resize(place + 1);
            m_paramGuess[place] = column;
        }
        SetExtra(column, m_value);
    }

    int ExtraColumn(const std::string &name)
    {
        const auto found = m_extraColumns.find(name);
        if (found != m_extraColumns.end())
            return found->second;
        const int column = int(m_extraNames.size());
        m_extraColumns.emplace(name, column);
        m_extraNames.push_back(name);
        m_extraCells.emplace_back();
        // The rows before this offer's lack the column.
        if (m_mode == OfferPass)
            m_shortRowsEnd = m_rowStart;
        return column;
    }

    // Several values of one param in an offer share its cell.
    void SetExtra(int column, const std::string &value)
    {
        std::string &cell = m_extraCells[size_t(column)];
        if (cell.empty())
            m_extraSet.push_back(column);
        else
            cell += ", ";
        cell += value;
    }

    void EndOffer()
    {
        ++m_offers;
        // Variants of one group usually share their page address; the id
        // tells them apart when a base is compared with the feed.
        if (!m_group.empty() && !m_id.empty() && !m_texts[UrlText].empty()) {
            if (m_idTplColumn < 0)
                m_idTplColumn = ExtraColumn("idTpl");
            if (m_extraCells[size_t(m_idTplColumn)].empty())
                SetExtra(m_idTplColumn, "[u]#[i]");
        }
        if (m_mode == HeadPass) {
            for (const int column : m_extraSet)
                m_extraCells[size_t(column)].clear();
            m_extraSet.clear();
            return;
        }

        const std::string *name = &m_texts[NameText];
        if (name->empty()) {
            m_composed.clear();
            for (const Text part : {TypePrefixText, VendorText, ModelText}) {
                const std::string &text = m_texts[part];
                if (text.empty())
                    continue;
                if (!m_composed.empty())
                    m_composed += ' ';
                m_composed += text;
            }
            name = &m_composed;
        }
        // Offers of one category often follow each other.
        if (!m_lastPath || m_texts[CategoryText] != m_lastCategory) {
            m_lastPath = paths.Find(m_texts[CategoryText]);
            if (!m_lastPath)
                m_lastPath = &m_noPath;
            m_lastCategory = m_texts[CategoryText];
        }
        const std::string *path = m_lastPath;
        if (path->empty())
            ++m_withoutCategory;

        CsvRowBuilder row(&m_out);
        const auto field = [&row](const std::string &text) { row.Field(text.data(), int(text.size())); };
        row.Begin();
        field(m_id);
        field(m_available);
        field(m_group);
        field(*name);
        field(m_texts[PriceText]);
        field(m_texts[OldPriceText]);
        field(m_texts[CurrencyText]);
        field(m_texts[UrlText]);
        field(m_texts[VendorText]);
        field(m_texts[VendorCodeText]);
        field(m_texts[DescriptionText]);
        row.Field(m_pictures.data(), int(m_firstPicture));
        field(m_pictures);
        field(*path);
        for (const std::string &cell : m_extraCells)
            field(cell);
        row.End();
        for (const int column : m_extraSet)
            m_extraCells[size_t(column)].clear();
        m_extraSet.clear();
        if (m_out.size() >= kFlushAt)
            Flush(false);
    }

    void WriteHeader()
    {
        CsvRowBuilder row(&m_out);
        row.Begin();
        for (const char *name : kColumnNames)
            row.Field(name, int(std::strlen(name)));
        for (const std::string &name : m_extraNames)
            row.Field(name.data(), int(name.size()));
        row.End();
    }

    bool Flush(bool last)
    {
        if (m_out.isEmpty() || (!last && m_out.size() < kFlushAt))
            return !m_failed;
        const int size = m_out.size();
        if (!csv->Hand(m_out)) {
            Fail(tr("Не удалось записать файл %1").arg(m_csvName));
            return false;
        }
        m_written += size;
        return !m_failed;
    }

    const Mode m_mode;
    const QString m_fileName;
    const QString m_csvName;
    xmlSAXHandler m_sax;
    xmlParserCtxtPtr m_context = nullptr;

    Kind m_kinds[kMaxDepth];
    int m_depth = 0;
    bool m_sawRoot = false;
    bool m_sawCategories = false;
    bool m_sawOffers = false;
    bool m_finished = false;
    bool m_failed = false;
    QString m_error;
    QString m_xmlError;
    int m_errorLine = 0;
    int m_errorColumn = 0;

    std::string *m_target = nullptr; // where the text of the open element goes
    std::string m_categoryId;
    std::string m_categoryParent;
    std::string m_categoryName;

    // The open offer.
    std::string m_id;
    std::string m_available;
    std::string m_group;
    std::vector<std::string> m_texts;
    Text m_textOpen = TextCount;
    std::string m_pictures;
    size_t m_firstPicture = 0;
    std::string m_value;
    std::string m_paramName;
    std::string m_paramUnit;
    std::string m_scratch;
    std::string m_composed;
    const std::string m_noPath;
    std::string m_lastCategory;
    const std::string *m_lastPath = nullptr;
    std::vector<int> m_paramGuess; // columns of the previous offer's params, by place
    size_t m_paramPlace = 0;
    size_t m_emptyMarkupEnd = std::string::npos;

    // Columns beyond the fixed ones, by name, and this offer's cells.
    std::unordered_map<std::string, int> m_extraColumns;
    std::vector<std::string> m_extraNames;
    std::vector<std::string> m_extraCells;
    std::vector<int> m_extraSet;
    int m_idTplColumn = -1;

    QByteArray m_out;
    qint64 m_written = 0;
    qint64 m_rowStart = 0;
    qint64 m_headerSize = 0;
    qint64 m_shortRowsEnd = -1;
    int m_offers = 0;
    int m_withoutCategory = 0;
};

// Writes the file again under the whole header when columns appeared after
// it was written; the rows written before get the empty cells they lack.
bool AddColumns(const QString &csvPath, const QStringList &header, qint64 headerSize, qint64 shortRowsEnd)
{
    const QString partPath = csvPath + QLatin1String(".part");
    QFile old(csvPath);
    if (!old.open(QIODevice::ReadOnly) || !old.seek(headerSize))
        return false;
    bool ok;
    {
        CsvManipulator csv;
        if (!csv.Open(partPath, false))
            return false;
        csv.WriteHeader(header);
        const int columns = header.size();
        QByteArray buffer;
        QByteArray padded;
        CsvRawRow row;
        qint64 left = shortRowsEnd - headerSize;
        ok = true;
        while (ok && left > 0) {
            const QByteArray more = old.read(qMin<qint64>(left, kFlushAt));
            ok = !more.isEmpty();
            left -= more.size();
            buffer += more;
            const char *begin = buffer.constData();
            const char *end = begin + buffer.size();
            const char *rowEnd = nullptr;
            padded.resize(0);
            while (CsvManipulator::ParseRow(begin, end, left == 0, row, &rowEnd) == CsvManipulator::ParseResult::Row) {
                padded.append(begin, int(rowEnd - begin) - 2); // without its "\r\n"
                for (int i = row.Count(); i < columns; ++i)
                    padded.append(';');
                padded.append("\r\n", 2);
                begin = rowEnd;
            }
            csv.WriteRaw(padded.constData(), padded.size());
            buffer.remove(0, int(begin - buffer.constData()));
        }
        QByteArray block(kFlushAt, Qt::Uninitialized);
        for (qint64 got = 1; ok && got > 0;) {
            got = old.read(block.data(), block.size());
            ok = got >= 0;
            if (got > 0)
                csv.WriteRaw(block.constData(), int(got));
        }
        ok = csv.Close() && ok;
    }
    old.close();
    if (!ok || !QFile::remove(csvPath) || !QFile::rename(partPath, csvPath)) {
        QFile::remove(partPath);
        return false;
    }
    return true;
}

// Stops at the first element and remembers its name.
struct FirstElement
{
    static void OnStart(void *self, const xmlChar *name, const xmlChar *prefix, const xmlChar *, int,
                        const xmlChar **, int, int, const xmlChar **)
    {
        auto *first = static_cast<FirstElement *>(self);
        first->isYml = !prefix && std::strcmp(reinterpret_cast<const char *>(name), "yml_catalog") == 0;
        first->found = true;
        xmlStopParser(first->context);
    }
    static void OnError(void *, xmlErrorPtr) {}

    xmlParserCtxtPtr context = nullptr;
    bool found = false;
    bool isYml = false;
};

} // namespace

bool YmlConverter::IsYmlCatalog(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    InitLibrary();
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof(sax));
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &FirstElement::OnStart;
    sax.serror = &FirstElement::OnError;
    FirstElement first;
    first.context = xmlCreatePushParserCtxt(&sax, &first, nullptr, 0, nullptr);
    if (!first.context)
        return false;
    xmlCtxtUseOptions(first.context, XML_PARSE_NONET);
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (qint64 read = 0; read < kDetectLimit && !first.found;) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0)
            break;
        read += got;
        if (xmlParseChunk(first.context, chunk.constData(), int(got), got == 0) != 0 || got == 0)
            break;
    }
    xmlFreeParserCtxt(first.context);
    return first.isYml;
}

bool YmlConverter::Convert(const QString &xmlPath, const QString &csvPath, IProgress *progress)
{
    m_error.clear();
    m_offers = 0;
    m_categories = 0;
    m_withoutCategory = 0;
    InitLibrary();
    const QString fileName = QFileInfo(xmlPath).fileName();
    if (progress && !progress->Report(0, 0, tr("Обработка каталога YML %1").arg(fileName))) {
        m_error = tr("Загрузка %1 отменена").arg(fileName);
        return false;
    }
    QFile xml(xmlPath);
    if (!xml.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_error = tr("Не удалось прочитать файл %1").arg(xmlPath);
        return false;
    }

    YmlPass head(YmlPass::HeadPass, fileName);
    if (!head.Run(xml, progress)) {
        m_error = head.Error();
        return false;
    }
    YmlPass offerPass(YmlPass::OfferPass, fileName, csvPath);
    std::swap(offerPass.categories, head.categories);
    ResolvePaths(offerPass.categories);
    offerPass.paths.Build(offerPass.categories);
    offerPass.TakeColumns(head);

    QFile csv(csvPath);
    if (!csv.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_error = tr("Не удалось создать файл %1").arg(csvPath);
        return false;
    }
    bool ok;
    {
        BlockWriter writer(&csv);
        offerPass.csv = &writer;
        ok = offerPass.Run(xml, progress);
        if (!ok)
            m_error = offerPass.Error();
        if (!writer.Finish() && ok) {
            m_error = tr("Не удалось записать файл %1").arg(csvPath);
            ok = false;
        }
    }
    csv.close();
    if (ok && csv.error() != QFileDevice::NoError) {
        m_error = tr("Не удалось записать файл %1").arg(csvPath);
        ok = false;
    }
    if (ok && offerPass.ShortRowsEnd() >= 0
            && !AddColumns(csvPath, offerPass.Header(), offerPass.HeaderSize(), offerPass.ShortRowsEnd())) {
        m_error = tr("Не удалось записать файл %1").arg(csvPath);
        ok = false;
    }
    if (!ok) {
        QFile::remove(csvPath);
        return false;
    }
    m_offers = offerPass.OfferCount();
    m_categories = int(offerPass.categories.order.size());
    m_withoutCategory = offerPass.WithoutCategory();
    return true;
}
