#pragma once

#include <QString>

// Which row values make up a good's identity key: a template text with the
// tokens "[u]" (url), "[a]" (offer name), "[i]" (id), "[n]" (name) and "[p]"
// (a number unique to the good), and the set of tokens it uses.
struct IdTemplate
{
    enum Token { Url = 1, OfferName = 2, Id = 4, Name = 8, AllTokens = 15 };

    // The usual shapes, told apart once so that the hot loops need not
    // compare template texts per good.
    enum Shape { General, UrlOnly, OfferAndId, OfferAndName, Unique, NoTokens };

    QString text;
    int tokens = 0;
    Shape shape = NoTokens;

    static Shape ShapeOf(const QString &text, int tokens);

    // The template of an "idTpl" cell, its token set read from the text.
    static IdTemplate FromText(const QString &text);
    static int TokensOf(const QString &text);

    // Replaces the tokens of the given set, in the order url, offer name, id,
    // name, then "[p]" by the unique number when any token is in the set.
    static QString Resolve(const QString &text, int tokens, const QString &url, const QString &offerName,
                           const QString &id, const QString &name, quintptr unique);

    bool operator==(const IdTemplate &other) const { return tokens == other.tokens && text == other.text; }
    // (The shape follows from text and tokens, so equality and order ignore it.)
    bool operator<(const IdTemplate &other) const
    {
        return tokens != other.tokens ? tokens < other.tokens : text < other.text;
    }
};
