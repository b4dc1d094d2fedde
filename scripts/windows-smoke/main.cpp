// The first thing the Windows stage runs: a program built with the cross
// toolchain that touches every library Fidmora links, each through the path
// Fidmora uses it by, and says in one line per check what failed. Exit code 0
// and a Cyrillic line on stdout when all is well.
#include <QApplication>
#include <QDomDocument>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QVBoxLayout>

#include <curl/curl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// "Привет, Fidmora" in UTF-8, written out so that no source encoding matters.
const char kGreeting[] = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, Fidmora";
const char kBody[] = "\xD0\xA2\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x80";  // "Товар"

int g_failures = 0;

void Check(bool ok, const char *what, const std::string &detail = std::string())
{
    std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", what, detail.empty() ? "" : ": ", detail.c_str());
    std::fflush(stdout);
    if (!ok)
        ++g_failures;
}

// An HTTP server on 127.0.0.1 that answers every request with kBody.
class TinyServer : public QTcpServer
{
public:
    TinyServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    const QByteArray body(kBody);
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n"
                                  "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
};

size_t CollectCurl(char *data, size_t size, size_t count, void *out)
{
    static_cast<std::string *>(out)->append(data, size * count);
    return size * count;
}

void CheckCurl(quint16 port)
{
    const curl_version_info_data *info = curl_version_info(CURLVERSION_NOW);
    const std::string tls = info->ssl_version ? info->ssl_version : "";
#ifdef _WIN32
    Check(tls.find("Schannel") != std::string::npos, "curl's TLS is Schannel", tls);
#else
    Check(!tls.empty(), "curl has TLS", tls);
#endif
    bool sftp = false;
    for (const char *const *p = info->protocols; *p; ++p)
        sftp = sftp || std::strcmp(*p, "sftp") == 0;
    Check(sftp && info->libssh_version, "curl speaks SFTP", info->libssh_version ? info->libssh_version : "no libssh2");

    // A transfer over a real socket while the Qt event loop serves it.
    std::string body;
    std::atomic<int> result{-1};
    std::thread transfer([&] {
        CURL *curl = curl_easy_init();
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/curl";
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CollectCurl);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
        result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (result != -1)
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    transfer.join();
    Check(result == CURLE_OK && body == kBody, "curl fetched from 127.0.0.1",
          result == CURLE_OK ? body : curl_easy_strerror(CURLcode(result.load())));
}

void CheckQtNetwork(quint16 port)
{
    Check(QSslSocket::supportsSsl(), "Qt has TLS", QSslSocket::sslLibraryVersionString().toStdString());
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/qt").arg(port)));
    request.setTransferTimeout(60000);
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    Check(reply->error() == QNetworkReply::NoError && body == kBody, "Qt fetched from 127.0.0.1",
          reply->error() == QNetworkReply::NoError ? body.toStdString() : reply->errorString().toStdString());
    delete reply;
}

// A YML catalogue in windows-1251, fed to libxml2's push parser in two
// chunks that split the declaration from the text, as Fidmora reads feeds.
void CheckLibxml2()
{
    const char doc[] = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
                       "<yml_catalog><shop><name>\xD2\xEE\xE2\xE0\xF0</name></shop></yml_catalog>\n";
    const int split = 30;
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(nullptr, nullptr, doc, split, nullptr);
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    const int rc = xmlParseChunk(context, doc + split, int(sizeof(doc) - 1 - split), 1);
    std::string text;
    if (rc == 0 && context->myDoc) {
        xmlNodePtr root = xmlDocGetRootElement(context->myDoc);
        xmlChar *content = xmlNodeGetContent(root);
        text = reinterpret_cast<const char *>(content);
        xmlFree(content);
    }
    if (context->myDoc)
        xmlFreeDoc(context->myDoc);
    xmlFreeParserCtxt(context);
    Check(rc == 0 && text == kBody, "libxml2 read windows-1251", rc == 0 ? text : "parse error " + std::to_string(rc));

    // An encoding nobody can convert is refused, not read as something else.
    const char odd[] = "<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?><a>b</a>";
    xmlDocPtr refused = xmlReadMemory(odd, int(sizeof(odd) - 1), nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    Check(!refused, "libxml2 refuses an unknown encoding");
    if (refused)
        xmlFreeDoc(refused);
}

void CheckQtXmlAndWidgets()
{
    QDomDocument dom;
    Check(dom.setContent(QStringLiteral("<offer><name>%1</name></offer>").arg(QString::fromUtf8(kBody)))
              && dom.documentElement().firstChildElement().text() == QString::fromUtf8(kBody),
          "Qt Xml parsed a document");

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *label = new QLabel(QString::fromUtf8(kGreeting));
    layout->addWidget(label);
    window.resize(320, 80);
    window.show();
    QApplication::processEvents();
    const QPixmap shot = window.grab();
    Check(window.isVisible() && !shot.isNull() && shot.width() == 320, "a widget was shown and drawn",
          QApplication::platformName().toStdString());
    // Without fonts a label draws nothing and every text measures 0.
    const QStringList families = QFontDatabase().families();
    Check(!families.isEmpty() && label->fontMetrics().horizontalAdvance(label->text()) > 0, "fonts were found",
          families.isEmpty() ? std::string() : families.first().toStdString());
}

void CheckXxhash()
{
    // The reference values of empty input, and one computed on Linux: the
    // hashes must not differ between the systems.
    Check(XXH64("", 0, 0) == 0xEF46DB3751D8E999ULL && XXH3_64bits("", 0) == 0x2D06800538D394C2ULL
              && XXH3_64bits("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", 12) == 0x3D8547A3BD5CF3BCULL,
          "xxHash gives the same hashes as on Linux");
}

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    // The console shows what follows as UTF-8; a pipe gets the bytes as they are.
    SetConsoleOutputCP(CP_UTF8);
#endif
    curl_global_init(CURL_GLOBAL_DEFAULT);
    xmlInitParser();
    QApplication app(argc, argv);

    TinyServer server;
    Check(server.listen(QHostAddress::LocalHost), "a server listens on 127.0.0.1", server.errorString().toStdString());
    CheckQtXmlAndWidgets();
    CheckQtNetwork(server.serverPort());
    CheckCurl(server.serverPort());
    CheckLibxml2();
    CheckXxhash();

    xmlCleanupParser();
    curl_global_cleanup();
    if (g_failures) {
        std::printf("%d check(s) failed\n", g_failures);
        return 1;
    }
    std::printf("%s\n", kGreeting);
    return 0;
}
