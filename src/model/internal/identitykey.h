#pragma once

#include "csvrawrow.h"
#include "idtemplate.h"
#include "rowhash.h"

#include <cstring>

#include <QByteArray>
#include <QString>
#include <QStringList>

// The cells of a row as bytes, for digests: found by the reader's scan...
struct RawCellView
{
    const CsvRawRow *row;
    bool utf8 = false; // the row's bytes are known to be well-formed UTF-8

    bool KnownUtf8() const { return utf8; }

    void View(int column, const char **data, int *size, QByteArray &scratch) const
    {
        if (row)
            row->View(column, data, size, scratch);
        else
            *data = "", *size = 0;
    }
    QString Text(int column) const { return row ? row->Text(column) : QString(); }
};

// ...or decoded by any other reader.
struct ListCellView
{
    const QStringList *row;

    void View(int column, const char **data, int *size, QByteArray &scratch) const
    {
        scratch = column >= 0 && column < row->size() ? row->at(column).toUtf8() : QByteArray();
        *data = scratch.constData();
        *size = scratch.size();
    }
    QString Text(int column) const { return column >= 0 && column < row->size() ? row->at(column) : QString(); }
    bool KnownUtf8() const { return true; } // made from text
};

// The digest of a good's identity key (the template with its tokens
// replaced) without building the key as a string for the usual templates.
class IdentityKey
{
public:
    struct Columns
    {
        int url = -1;
        int id = -1;
        int name = -1;
    };

    // False for a key that holds the good's unique number: it never equals
    // another good's key. offerUtf8 is offerName in UTF-8.
    template<typename Cells>
    static bool Digest(const IdTemplate &tpl, const Cells &cells, const Columns &columns, const QString &offerName,
                       const QByteArray &offerUtf8, quintptr unique, RowHash *out)
    {
        RowHasher hasher;
        QByteArray scratch;
        const char *data;
        int size;
        // Values that hold a token would be replaced again: the general way.
        // Bytes that are not UTF-8 are digested as the text they read as.
        const auto plain = [&cells](const char *bytes, int length) {
            return !std::memchr(bytes, '[', size_t(length))
                    && (cells.KnownUtf8() || CsvRawRow::IsValidUtf8(bytes, length));
        };
        switch (tpl.shape) {
        case IdTemplate::NoTokens:
            hasher.Add(tpl.text);
            *out = hasher.Result();
            return true;
        case IdTemplate::Unique:
            return false;
        case IdTemplate::UrlOnly:
            cells.View(columns.url, &data, &size, scratch);
            if (plain(data, size)) {
                hasher.Add(data, size);
                *out = hasher.Result();
                return true;
            }
            break;
        case IdTemplate::OfferAndId:
        case IdTemplate::OfferAndName:
            cells.View(tpl.shape == IdTemplate::OfferAndId ? columns.id : columns.name, &data, &size, scratch);
            if (plain(data, size) && !offerUtf8.contains('[')) {
                hasher.Append(offerUtf8.constData(), offerUtf8.size());
                hasher.Append(data, size);
                hasher.EndString();
                *out = hasher.Result();
                return true;
            }
            break;
        case IdTemplate::General:
            break;
        }
        const int tokens = tpl.tokens;
        const auto text = [&cells, tokens](int column, int token) {
            return (tokens & token) ? cells.Text(column) : QString();
        };
        const QString key = IdTemplate::Resolve(tpl.text, tokens, text(columns.url, IdTemplate::Url), offerName,
                                                text(columns.id, IdTemplate::Id), text(columns.name, IdTemplate::Name),
                                                unique);
        hasher.Add(key);
        *out = hasher.Result();
        return true;
    }
};
