#pragma once

#include "good.h"
#include "idtemplate.h"
#include "offer.h"
#include "source.h"

#include <QString>
#include <QStringList>

// Which values of a good's row identify it, and its identity key: the one
// place that decides it, for loading, base comparison, duplicate removal,
// saving and the views. A key is the good's template with its tokens
// replaced by the row's values: "[u]" the url, "[a]" the offer's name,
// "[i]" the id, "[n]" the name, "[p]" a number of the good's own (a key
// that holds it equals no other).
class GoodIdentity
{
public:
    // The template a row gets at its load when its "idTpl" cell is empty:
    // the first of the url, the offer and the id, the offer and the name
    // that the row has; otherwise the offer and the good itself.
    enum Default { ByUrl, ByOfferAndId, ByOfferAndName, ByOfferAndGood, DefaultCount };
    static Default DefaultFor(bool hasUrl, bool hasId, bool hasName);
    static IdTemplate DefaultTemplate(Default which);

    // The template that identifies a good: the one it got at its load; else
    // its row's "idTpl" cell, read through idTplCell() only then; else, for
    // a source without that column, the good's own number. A template made
    // from a cell is kept in *storage.
    template<typename Cell>
    static const IdTemplate *TemplateOf(const Good &good, const Cell &idTplCell, IdTemplate *storage)
    {
        if (good.idTemplate)
            return good.idTemplate;
        *storage = good.source && good.source->idTplColumn >= 0 ? IdTemplate::FromText(idTplCell())
                                                                 : UniqueTemplate();
        return storage;
    }

    // The key with the tokens of the given set replaced (the others stay as
    // they are written), the row's cells read through text(column) only for
    // the tokens that need them.
    template<typename Text>
    static QString Resolve(const Good &good, const IdTemplate &tpl, int tokens, const Text &text)
    {
        const Source &source = *good.source;
        const auto cell = [&](int column, int token) { return (tokens & token) ? text(column) : QString(); };
        return IdTemplate::Resolve(tpl.text, tokens, cell(source.urlColumn, IdTemplate::Url),
                                   good.offer ? good.offer->name : QString(), cell(source.idColumn, IdTemplate::Id),
                                   cell(source.nameColumn, IdTemplate::Name), quintptr(&good));
    }

    // The good's key.
    template<typename Text>
    static QString Key(const Good &good, const Text &text)
    {
        IdTemplate storage;
        const IdTemplate *tpl = TemplateOf(good, [&]() { return text(good.source->idTplColumn); }, &storage);
        return Resolve(good, *tpl, tpl->tokens, text);
    }

    // The key of a good, reading only the cells of its row that the key
    // needs; and the same from the good's whole row, already read.
    static QString Key(const Good &good);
    static QString RowKey(const Good &good, const QStringList &row);
    // The text of the template that identifies the good (its "idTpl").
    static QString RowTemplateText(const Good &good, const QStringList &row);

    static const IdTemplate &UniqueTemplate();
};
