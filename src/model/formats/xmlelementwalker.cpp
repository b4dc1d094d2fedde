#include "xmlelementwalker.h"

#include <QStringList>
#include <QXmlStreamReader>

#include "xmlutf8device.h"

bool XmlElementWalker::Walk(QIODevice *device, const Visitor &visit)
{
    m_stopped = false;
    m_error.clear();
    m_rootName.clear();

    // A document in another encoding than UTF-8 is read converted.
    XmlUtf8Device utf8(device);
    const bool converted = !utf8.Encoding().isEmpty();
    if (converted) {
        if (!utf8.IsSupported()) {
            m_error = tr("кодировка %1 не поддерживается").arg(QString::fromLatin1(utf8.Encoding()));
            return false;
        }
        utf8.open(QIODevice::ReadOnly);
    }
    QXmlStreamReader xml(converted ? static_cast<QIODevice *>(&utf8) : device);
    QStringList open; // paths of the elements open above the current token
    bool pending = false; // an element whose text is still being collected
    QString pendingPath;
    QXmlStreamAttributes pendingAttributes;
    QString pendingText;
    QString problem;
    const auto flush = [&]() {
        if (pending && !visit(pendingPath, pendingAttributes, pendingText.trimmed()))
            m_stopped = true;
        pending = false;
    };

    while (!xml.atEnd() && !m_stopped && problem.isEmpty()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::Characters) {
            if (pending)
                pendingText += xml.text();
            continue;
        }
        flush();
        switch (token) {
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty())
                problem = tr("объявления сущностей не поддерживаются");
            break;
        case QXmlStreamReader::StartElement: {
            if (open.size() >= kMaxDepth) {
                problem = tr("слишком глубокая вложенность элементов");
                break;
            }
            if (open.isEmpty())
                m_rootName = xml.name().toString();
            const QString path = (open.isEmpty() ? QString() : open.last()) + QLatin1Char('/') + xml.name();
            open.append(path);
            pending = true;
            pendingPath = path;
            pendingAttributes = xml.attributes();
            pendingText.clear();
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!open.isEmpty())
                open.removeLast();
            break;
        default:
            break;
        }
    }
    if (problem.isEmpty() && !m_stopped)
        flush();
    if (m_stopped)
        return false;
    // The reader takes a conversion that stopped for the document's end.
    if (problem.isEmpty() && xml.error() == QXmlStreamReader::PrematureEndOfDocumentError
        && !utf8.ErrorText().isEmpty())
        problem = utf8.ErrorText();
    if (problem.isEmpty() && xml.hasError())
        problem = xml.errorString();
    if (problem.isEmpty())
        return true;
    m_error = tr("строка %1, столбец %2: %3").arg(xml.lineNumber()).arg(xml.columnNumber()).arg(problem);
    return false;
}
