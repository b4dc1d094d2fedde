#pragma once

#include <QCoreApplication>

#include <string>
#include <unordered_map>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <libxml/parser.h>

class BlockWriter;
class IProgress;
class QFile;
class YmlCategories;

// One pass of the YML conversion over the whole document, with libxml2's
// push parser. The head pass declares the categories and learns the param
// columns of the first offers, then stops; the offer pass writes the header
// and one CSV row per offer. Entity declarations fail the pass (the parser
// would expand them); nothing outside the file is read. Part of
// YmlConverter; used by one thread.
class YmlPass final
{
    Q_DECLARE_TR_FUNCTIONS(YmlConverter)

public:
    enum Mode { HeadPass, OfferPass };
    // Rows are handed to the writer in blocks of about this size.
    static const int kBlockSize = 4 << 20;

    // The head pass declares the categories it reads; the offer pass looks
    // the offers' categories up after they were resolved. The offer pass
    // writes through writer, into the file named csvName.
    YmlPass(Mode mode, YmlCategories *categories, const QString &fileName, BlockWriter *writer = nullptr,
            const QString &csvName = QString());
    ~YmlPass();

    // The offer pass starts with the columns the head pass found.
    void TakeColumns(YmlPass &head);

    // Reads the document from its start. False on malformed XML, a read or
    // write error or a cancel; Error() says which.
    bool Run(QFile &file, IProgress *progress);

    QString Error() const { return m_error; }
    int OfferCount() const { return m_offers; }
    int WithoutCategory() const { return m_withoutCategory; }
    // The fixed columns, then the others in the order they appeared.
    QStringList Header() const;
    // The rows that begin before this offset of the file lack the columns
    // that appeared after the header was written; -1 when no column did.
    qint64 ShortRowsEnd() const { return m_shortRowsEnd; }
    qint64 HeaderSize() const { return m_headerSize; }
    // The text of the shop's first <name> (the offer pass reads it, with
    // the text of any markup inside it); empty when it has none.
    const std::string &ShopName() const { return m_shopName; }

private:
    Q_DISABLE_COPY(YmlPass)

    static const int kMaxDepth = 256; // as deep as a project file may nest

    // What an open element is, by its place in the document.
    enum Kind { Other, Catalog, Shop, ShopTitle, Categories, Category, Offers, Offer, OfferText, Picture, Param, Markup };
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
    static Text TextOf(const char *name);

    static void OnStart(void *self, const xmlChar *name, const xmlChar *prefix, const xmlChar *uri,
                        int namespaceCount, const xmlChar **namespaces, int attributeCount, int defaulted,
                        const xmlChar **attributes);
    static void OnEnd(void *self, const xmlChar *name, const xmlChar *prefix, const xmlChar *uri);
    static void OnText(void *self, const xmlChar *text, int size);
    static void OnReference(void *self, const xmlChar *name);
    static void OnEntityDeclaration(void *self, const xmlChar *name, int type, const xmlChar *publicId,
                                    const xmlChar *systemId, xmlChar *content);
    static void OnError(void *self, xmlErrorPtr error);

    void Start(const char *name, const char *prefix, int attributeCount, const xmlChar **attributes);
    void End(const char *name, const char *prefix);
    void Append(const char *text, int size);
    bool HeadDone();
    void Fail(const QString &text);
    void FailMalformed();

    Kind StartOfferChild(const char *name, int attributeCount, const xmlChar **attributes);
    Kind StartMarkup(const char *name, const char *prefix, int attributeCount, const xmlChar **attributes);
    void EndMarkup(const char *name, const char *prefix);
    void BeginOffer(int attributeCount, const xmlChar **attributes);
    void EndPicture();
    void EndParam();
    int ExtraColumn(const std::string &name);
    void SetExtra(int column, const std::string &value);
    void EndOffer();
    void WriteHeader();
    bool Flush(bool last);

    const Mode m_mode;
    YmlCategories *m_categories;
    const QString m_fileName;
    BlockWriter *m_writer;
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
    std::string m_shopName;
    bool m_sawShopName = false;

    // The open offer.
    std::string m_id;
    std::string m_available;
    std::string m_group;
    std::vector<std::string> m_texts;
    Text m_textOpen = TextCount;
    std::string m_pictures; // one a line
    size_t m_firstPicture = 0;
    std::string m_value;
    std::string m_paramName;
    std::string m_paramUnit;
    std::string m_scratch;
    std::string m_composed;
    size_t m_emptyMarkupEnd = std::string::npos;
    std::vector<int> m_paramGuess; // columns of the previous offer's params, by place
    size_t m_paramPlace = 0;
    const std::string m_noPath;
    std::string m_lastCategory;
    const std::string *m_lastPath = nullptr;

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
