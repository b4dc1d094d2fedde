#pragma once

#include <QCoreApplication>

#include <QString>

class IProgress;

// Converts a YML catalogue (a yml_catalog document: a shop's categories and
// offers) into a CSV feed in the catalogue's dialect, one row per offer, so
// that it loads like any other feed. The document is read as a stream, once
// for its categories and once for its offers: memory holds the category
// table, one offer and the names of the param columns, whatever the number
// of offers. Entities the document declares are never expanded and nothing
// outside the file is ever fetched. Uses only local state; any thread.
class YmlConverter final
{
    Q_DECLARE_TR_FUNCTIONS(YmlConverter)

public:
    // True when the file's document element is yml_catalog (after the XML
    // declaration, comments and the document type declaration; see FeedFormat).
    static bool IsYmlCatalog(const QString &path);

    // Writes the CSV file. False when the XML file cannot be read or is
    // malformed (ErrorText() then gives the line and column), when the CSV
    // file cannot be written, or when the user cancelled; no CSV file is left
    // behind then.
    bool Convert(const QString &xmlPath, const QString &csvPath, IProgress *progress);

    QString ErrorText() const { return m_error; }
    // Figures of the last conversion: offers written, categories declared,
    // and offers whose category the catalogue does not declare (their rows
    // have an empty category, so the load skips them).
    int Offers() const { return m_offers; }
    int Categories() const { return m_categories; }
    int OffersWithoutCategory() const { return m_withoutCategory; }
    // The name the catalogue gives its shop (<shop><name>, the text of any
    // markup in it taken), on one line; empty when it gives none.
    QString ShopName() const { return m_shopName; }

private:
    QString m_error;
    QString m_shopName;
    int m_offers = 0;
    int m_categories = 0;
    int m_withoutCategory = 0;
};
