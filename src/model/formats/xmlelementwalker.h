#pragma once

#include <QCoreApplication>

#include <functional>

#include <QString>
#include <QXmlStreamAttributes>

class QIODevice;

// Walks an XML document element by element, in document order, handing each
// element's path from the root ("/settings/offers/offer"), its attributes
// and its text (the character data right after its start tag, up to the
// next child, comment or end tag, trimmed) to a visitor. The one place where
// documents from outside (projects, catalogues) are parsed: nesting deeper
// than a few hundred levels and entity declarations in the document type
// (the way to an expansion bomb) make the document an error.
class XmlElementWalker
{
    Q_DECLARE_TR_FUNCTIONS(XmlElementWalker)

public:
    // Answers false to stop the walk (a cancel).
    using Visitor = std::function<bool(const QString &path, const QXmlStreamAttributes &attributes,
                                       const QString &text)>;

    // True when the whole document was read without an error and the visitor
    // never stopped it.
    bool Walk(QIODevice *device, const Visitor &visit);

    bool Stopped() const { return m_stopped; }
    // What was wrong with the document, with its line and column; empty
    // when nothing was.
    QString ErrorText() const { return m_error; }
    // The name of the document element, once the walk has reached it.
    QString RootName() const { return m_rootName; }

    static const int kMaxDepth = 256;

private:
    bool m_stopped = false;
    QString m_error;
    QString m_rootName;
};
