#pragma once

#include <QString>
#include <QtGlobal>

// What kind of feed a file holds, told from its first 64 KB: a CSV table
// unless it starts with "<" (after any byte-order mark and white space);
// otherwise an XML document, known by its document element, which follows
// any XML declaration, processing instructions, comments and document type
// declaration. A plain record; any thread.
class FeedFormat final
{
public:
    enum Kind {
        Csv,
        DcCatalog,
        Yml,
        OtherXml, // another document, or one whose document element is not within the bytes looked at
    };
    static const int kLookAhead = 64 * 1024;

    // Reads the start of the file. One that cannot be read counts as CSV:
    // its reader then says why it cannot be read.
    static FeedFormat OfFile(const QString &path);
    // The same for the first bytes of a file.
    static FeedFormat OfBytes(const char *data, qint64 size);

    Kind kind = Csv;
    // The name of the document element; empty when it was not found.
    QString root;
};
