#pragma once

#include <QCoreApplication>

#include <memory>

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include "charsetconverter.h"

// Reads an XML document from another device as UTF-8. A document whose
// declaration names another encoding (windows-1251, KOI8-R…) is converted
// as it is read, and its declaration made to say UTF-8, so that the XML
// reader never depends on the encodings of the toolkit it is built with.
// The source stays the caller's and must be open; one thread.
class XmlUtf8Device final : public QIODevice
{
    Q_DECLARE_TR_FUNCTIONS(XmlUtf8Device)

public:
    explicit XmlUtf8Device(QIODevice *source);

    // The encoding the document declares when it is not UTF-8; empty when
    // the source can be read as it is.
    QByteArray Encoding() const { return m_encoding; }
    // False when the declared encoding is unknown here.
    bool IsSupported() const { return m_converter && m_converter->IsValid(); }
    // Why the conversion stopped (a byte not of the declared encoding, a
    // character cut short at the end); empty while it has not.
    QString ErrorText() const { return m_error; }

    bool isSequential() const override { return true; }

    // Where the value of the declaration's encoding stands in the first
    // bytes of a document: false when they hold no declaration or it names
    // none.
    static bool FindDeclaredEncoding(const QByteArray &head, int *start, int *length);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool Refill();

    QIODevice *m_source;
    QByteArray m_encoding;
    std::unique_ptr<CharsetConverter> m_converter; // none when the document is UTF-8
    QByteArray m_head;                             // the declaration up to its encoding's value, given out first
    int m_skip = 0;                                // the source's bytes that m_head stands for
    QByteArray m_buffer;
    int m_bufferPosition = 0;
    bool m_started = false;
    bool m_ended = false;
    QString m_error;
};
