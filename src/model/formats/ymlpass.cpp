#include "ymlpass.h"

#include <cstring>

#include <QFile>

#include <libxml/SAX2.h>
#include <libxml/xmlerror.h>

#include "blockwriter.h"
#include "csvrowbuilder.h"
#include "iprogress.h"
#include "schema.h"
#include "ymlcategories.h"

namespace {

const qint64 kChunk = 1 << 20;     // bytes handed to the parser at a time
const size_t kMaxText = 64u << 20; // the longest text of one element
// The offers whose param columns are learnt before any row is written: when
// the others bring no new column, the rows go to the file once.
const int kHeadOffers = 1000;

// The columns every converted catalogue has, in this order. Columns for the
// offers' params (and "idTpl" once some offer needs one) follow in the order
// in which they first appear.
const QLatin1String kColumnNames[] = {
        Schema::Column::Id,          QLatin1String("available"), QLatin1String("group_id"),
        Schema::Column::Name,        Schema::Column::Price,      Schema::Column::OldPrice,
        QLatin1String("currencyId"), Schema::Column::Url,        Schema::Column::Vendor,
        QLatin1String("vendorCode"), Schema::Column::Description, Schema::Column::Picture,
        QLatin1String("pictures"),   Schema::Column::CategoryId};

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

} // namespace

YmlPass::YmlPass(Mode mode, YmlCategories *categories, const QString &fileName, BlockWriter *writer,
                 const QString &csvName)
    : m_mode(mode), m_categories(categories), m_fileName(fileName), m_writer(writer), m_csvName(csvName)
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
    m_texts.resize(TextCount);
}

YmlPass::~YmlPass()
{
    if (m_context) {
        // A document type declaration makes libxml2 build a document of its
        // own for the entities, which the context does not free.
        if (m_context->myDoc)
            xmlFreeDoc(m_context->myDoc);
        xmlFreeParserCtxt(m_context);
    }
}

void YmlPass::TakeColumns(YmlPass &head)
{
    m_extraColumns.swap(head.m_extraColumns);
    m_extraNames.swap(head.m_extraNames);
    m_extraCells.assign(m_extraNames.size(), std::string());
    m_idTplColumn = head.m_idTplColumn;
}

bool YmlPass::Run(QFile &file, IProgress *progress)
{
    m_context = xmlCreatePushParserCtxt(&m_sax, this, nullptr, 0, nullptr);
    if (!m_context || !file.seek(0)) {
        m_error = tr("Не удалось прочитать файл %1").arg(m_fileName);
        return false;
    }
    xmlCtxtUseOptions(m_context, XML_PARSE_NONET);
    if (m_mode == OfferPass) {
        m_out.reserve(kBlockSize + kBlockSize / 2);
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
            const QString text =
                    tr("Обработка каталога YML %1: прочитано товаров: %2").arg(m_fileName).arg(m_offers);
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

QStringList YmlPass::Header() const
{
    QStringList header;
    for (const QLatin1String name : kColumnNames)
        header.append(name);
    for (const std::string &name : m_extraNames)
        header.append(QString::fromStdString(name));
    return header;
}

// The text an element of an offer gives, TextCount for none.
YmlPass::Text YmlPass::TextOf(const char *name)
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

void YmlPass::OnStart(void *self, const xmlChar *name, const xmlChar *prefix, const xmlChar *, int,
                      const xmlChar **, int attributeCount, int, const xmlChar **attributes)
{
    static_cast<YmlPass *>(self)->Start(reinterpret_cast<const char *>(name),
                                        reinterpret_cast<const char *>(prefix), attributeCount, attributes);
}

void YmlPass::OnEnd(void *self, const xmlChar *name, const xmlChar *prefix, const xmlChar *)
{
    static_cast<YmlPass *>(self)->End(reinterpret_cast<const char *>(name), reinterpret_cast<const char *>(prefix));
}

void YmlPass::OnText(void *self, const xmlChar *text, int size)
{
    auto *pass = static_cast<YmlPass *>(self);
    if (pass->m_target)
        pass->Append(reinterpret_cast<const char *>(text), size);
}

// An entity the document does not declare (allowed when it names an
// outside document type, which is never read): kept as it was written.
void YmlPass::OnReference(void *self, const xmlChar *name)
{
    auto *pass = static_cast<YmlPass *>(self);
    if (!pass->m_target)
        return;
    const std::string reference = std::string("&") + reinterpret_cast<const char *>(name) + ';';
    pass->Append(reference.data(), int(reference.size()));
}

// Declared entities would be expanded by the parser: such a document is
// refused instead.
void YmlPass::OnEntityDeclaration(void *self, const xmlChar *, int, const xmlChar *, const xmlChar *, xmlChar *)
{
    auto *pass = static_cast<YmlPass *>(self);
    pass->Fail(tr("В каталоге YML %1 объявлены сущности (строка %2): такие каталоги не загружаются")
                       .arg(pass->m_fileName)
                       .arg(xmlSAX2GetLineNumber(pass->m_context)));
}

void YmlPass::OnError(void *self, xmlErrorPtr error)
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
bool YmlPass::HeadDone()
{
    if (m_mode != HeadPass || !m_sawCategories || (!m_sawOffers && m_offers < kHeadOffers))
        return false;
    m_finished = true;
    xmlStopParser(m_context);
    return true;
}

void YmlPass::Fail(const QString &text)
{
    if (m_failed)
        return;
    m_failed = true;
    m_error = text;
    m_target = nullptr;
    xmlStopParser(m_context);
}

void YmlPass::FailMalformed()
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

void YmlPass::Append(const char *text, int size)
{
    if (m_target->size() + size_t(size) > kMaxText) {
        Fail(tr("Каталог YML %1: слишком длинный текст элемента (строка %2)")
                     .arg(m_fileName)
                     .arg(xmlSAX2GetLineNumber(m_context)));
        return;
    }
    m_target->append(text, size_t(size));
}

void YmlPass::Start(const char *name, const char *prefix, int attributeCount, const xmlChar **attributes)
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
            } else if (m_mode == OfferPass && !m_sawShopName && std::strcmp(name, "name") == 0) {
                // Only the offer pass reads the whole document, wherever
                // the shop's name stands in it.
                kind = ShopTitle;
                m_sawShopName = true;
                m_target = &m_shopName;
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

void YmlPass::End(const char *name, const char *prefix)
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
        if (!m_categoryId.empty())
            m_categories->Declare(m_categoryId, m_categoryParent, m_categoryName);
        m_target = nullptr;
        break;
    case ShopTitle:
        Trim(m_shopName);
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

YmlPass::Kind YmlPass::StartOfferChild(const char *name, int attributeCount, const xmlChar **attributes)
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
YmlPass::Kind YmlPass::StartMarkup(const char *name, const char *prefix, int attributeCount, const xmlChar **attributes)
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

void YmlPass::EndMarkup(const char *name, const char *prefix)
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

void YmlPass::BeginOffer(int attributeCount, const xmlChar **attributes)
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

void YmlPass::EndPicture()
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

void YmlPass::EndParam()
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

int YmlPass::ExtraColumn(const std::string &name)
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
void YmlPass::SetExtra(int column, const std::string &value)
{
    std::string &cell = m_extraCells[size_t(column)];
    if (cell.empty())
        m_extraSet.push_back(column);
    else
        cell += ", ";
    cell += value;
}

void YmlPass::EndOffer()
{
    ++m_offers;
    // Variants of one group usually share their page address; the id
    // tells them apart when a base is compared with the feed.
    if (!m_group.empty() && !m_id.empty() && !m_texts[UrlText].empty()) {
        if (m_idTplColumn < 0)
            m_idTplColumn = ExtraColumn(Schema::Column::IdTpl.data());
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
        m_lastPath = m_categories->Find(m_texts[CategoryText]);
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
    if (m_out.size() >= kBlockSize)
        Flush(false);
}


void YmlPass::WriteHeader()
{
    CsvRowBuilder row(&m_out);
    row.Begin();
    for (const QLatin1String name : kColumnNames)
        row.Field(name.data(), name.size());
    for (const std::string &name : m_extraNames)
        row.Field(name.data(), int(name.size()));
    row.End();
}

bool YmlPass::Flush(bool last)
{
    if (m_out.isEmpty() || (!last && m_out.size() < kBlockSize))
        return !m_failed;
    const int size = m_out.size();
    if (!m_writer->Hand(m_out)) {
        Fail(tr("Не удалось записать файл %1").arg(m_csvName));
        return false;
    }
    m_written += size;
    return !m_failed;
}

