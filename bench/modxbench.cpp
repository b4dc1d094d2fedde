// Writes a catalogue to the site's exchange script and reads it back: rows
// per second each way, and the client's processor time against the elapsed
// time (the site, not the client, should be the limit).
//
//   modxbench [FEED] [--rows N] [--chunk N] [--categories N]
//             [--site HOST --write-target N]
//
// Without FEED, N goods are generated (about 600 bytes a row, Cyrillic,
// quotes, ";" and line breaks in the descriptions) in N categories (two
// levels). The script runs under PHP's built-in server on 127.0.0.1 over a
// fresh SQLite database, or is the one at HOST (login and password from
// FIDMORA_SITE_LOGIN and FIDMORA_SITE_PASSWORD): bench/modx_shop_bench.php
// runs it so against a MODX shop.

#include <cstdio>

#include <unistd.h>

#include <memory>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include "benchutil.h"
#include "csvmanipulator.h"
#include "model.h"
#include "statuscounts.h"

namespace
{

const char kLogin[] = "bench";
const char kPassword[] = "bench-secret";
// password_hash("bench-secret", PASSWORD_DEFAULT, ["cost" => 4])
const char kHash[] = "$2y$04$h4XME0kFpPMvdtfHm9lKXellxGYMYth64.aASidlTeE02qxW2igGu";

QString GenerateFeed(const QString &path, int rows, int categories)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    Bench::Random random(42);
    QByteArray out = "id;name;url;price;oldprice;categoryId;vendor;picture;description;advcampaign_name\r\n";
    for (int i = 1; i <= rows; ++i) {
        const int category = int(random.Below(quint64(categories)));
        out += QByteArray::number(i) + ";Товар \"" + QByteArray::number(i) + "\" модель " + QByteArray::number(random.Below(1000))
                + ";https://shop.example/p/" + QByteArray::number(i) + "?utm=fidmora;" + QByteArray::number(100 + random.Below(90000))
                + ";;Каталог/Раздел " + QByteArray::number(category / 20) + "/Подраздел " + QByteArray::number(category)
                + ";Марка " + QByteArray::number(random.Below(50)) + ";https://img.example/" + QByteArray::number(i)
                + ".jpg;\"Описание товара: тёплый; мягкий, \"\"настоящий\"\"\r\nвторая строка, размеры 40-48, "
                  "доставка по всей стране, гарантия качества и возврат в течение месяца.\";Магазин\r\n";
        if (out.size() > (1 << 20)) {
            file.write(out);
            out.clear();
        }
    }
    file.write(out);
    return path;
}

struct PhpServer
{
    QProcess process;
    quint16 port = 0;

    bool Start(const QString &folder, int chunk)
    {
        const QDir root(folder);
        root.mkpath(QStringLiteral("www"));
        root.mkpath(QStringLiteral("sessions"));
        QFile::copy(QStringLiteral(SERVER_DIR "/cron.php"), root.filePath(QStringLiteral("www/cron.php")));
        QFile config(root.filePath(QStringLiteral("www/config.php")));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write(QStringLiteral("<?php return ['login' => '%1', 'passwordHash' => '%2', 'dsn' => 'sqlite:%3', "
                                    "'table' => 'goods', 'chunkSize' => %4, 'sessionDir' => '%5', 'columns' => "
                                    "['id','name','url','price','oldprice','categoryId','vendor','picture',"
                                    "'description','advcampaign_name','idTpl','status']];\n")
                             .arg(QLatin1String(kLogin), QLatin1String(kHash),
                                  root.filePath(QStringLiteral("goods.sqlite")))
                             .arg(chunk)
                             .arg(root.filePath(QStringLiteral("sessions")))
                             .toUtf8());
        config.close();
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStringLiteral("php"), {QStringLiteral("-d"), QStringLiteral("post_max_size=64M"),
                                              QStringLiteral("-S"), QStringLiteral("127.0.0.1:%1").arg(port),
                                              QStringLiteral("-t"), root.filePath(QStringLiteral("www"))});
        if (!process.waitForStarted())
            return false;
        for (int i = 0; i < 200; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(500))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    ~PhpServer()
    {
        process.kill();
        process.waitForFinished();
    }
};

// Processor seconds of the site's processes so far (the PHP server is one
// process: the built-in server starts no workers unless asked to); -1 when
// none is known.
double ServerCpu(const QList<qint64> &pids)
{
    if (pids.isEmpty())
        return -1;
    double ticks = 0;
    for (qint64 pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
        // utime and stime are fields 14 and 15; here counted from the state, field 3.
        ticks += fields.value(11).toDouble() + fields.value(12).toDouble();
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

struct Pass
{
    double seconds = 0;
    double clientCpu = 0;
    double serverCpu = 0;
};

void Show(const char *what, const char *key, qint64 rows, const Pass &pass, double rowsTarget)
{
    const double rate = double(rows) / pass.seconds;
    const double share = pass.clientCpu / pass.seconds;
    std::printf("%-6s %8lld rows in %6.2f s: %8.0f rows/s (target >= %.0f: %s); client CPU %5.2f s = %4.1f %% of "
                "elapsed (target < 25 %%: %s)",
                what, static_cast<long long>(rows), pass.seconds, rate, rowsTarget, rate >= rowsTarget ? "PASS" : "FAIL",
                pass.clientCpu, share * 100, share < 0.25 ? "PASS" : "FAIL");
    if (pass.serverCpu >= 0)
        std::printf("; site CPU %5.2f s (%.0f rows per site CPU second)", pass.serverCpu, double(rows) / pass.serverCpu);
    std::printf("\n");
    Bench::Figure(QByteArray(key) + "_rows_per_s", rate);
    Bench::Figure(QByteArray(key) + "_client_cpu_share", share);
    if (pass.serverCpu >= 0)
        Bench::Figure(QByteArray(key) + "_site_cpu_s", pass.serverCpu);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FEED"), QStringLiteral("feed to write (default: generated)"));
    parser.addOption({QStringLiteral("rows"), QStringLiteral("goods to generate"), QStringLiteral("N"),
                      QStringLiteral("100000")});
    parser.addOption({QStringLiteral("chunk"), QStringLiteral("rows per request"), QStringLiteral("N"),
                      QStringLiteral("1000")});
    parser.addOption({QStringLiteral("categories"), QStringLiteral("categories of the generated goods"),
                      QStringLiteral("N"), QStringLiteral("200")});
    parser.addOption({QStringLiteral("site"), QStringLiteral("a running site instead of a fresh one"),
                      QStringLiteral("HOST")});
    parser.addOption({QStringLiteral("site-pids"), QStringLiteral("processes of that site, for its processor time"),
                      QStringLiteral("PID,PID")});
    parser.addOption({QStringLiteral("write-target"), QStringLiteral("rows per second written to reach"),
                      QStringLiteral("N"), QStringLiteral("20000")});
    parser.addHelpOption();
    parser.process(app);

    QTemporaryDir dir;
    QString feed = parser.positionalArguments().value(0);
    if (feed.isEmpty())
        feed = GenerateFeed(QDir(dir.path()).filePath(QStringLiteral("feed.csv")), parser.value(QStringLiteral("rows")).toInt(),
                            qMax(1, parser.value(QStringLiteral("categories")).toInt()));
    const bool ownSite = !parser.isSet(QStringLiteral("site"));
    const QString login = ownSite ? QLatin1String(kLogin) : qEnvironmentVariable("FIDMORA_SITE_LOGIN");
    const QString password = ownSite ? QLatin1String(kPassword) : qEnvironmentVariable("FIDMORA_SITE_PASSWORD");
    PhpServer server;
    if (ownSite && !server.Start(dir.path(), parser.value(QStringLiteral("chunk")).toInt())) {
        std::fprintf(stderr, "modxbench: PHP's built-in server did not start (is php-cli installed?)\n");
        return 1;
    }
    const QString host = ownSite ? QStringLiteral("127.0.0.1:%1").arg(server.port) : parser.value(QStringLiteral("site"));
    QList<qint64> pid;
    if (ownSite)
        pid << server.process.processId();
    for (const QString &id : parser.value(QStringLiteral("site-pids")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        pid << id.toLongLong();
    const double writeTarget = parser.value(QStringLiteral("write-target")).toDouble();

    Model model;
    if (!model.AddFile(feed)) {
        std::fprintf(stderr, "modxbench: cannot load %s\n", qPrintable(feed));
        return 1;
    }
    const qint64 rows = StatusCounts::Of(model.Root()).goods;
    QFile loadAverage(QStringLiteral("/proc/loadavg"));
    loadAverage.open(QIODevice::ReadOnly);
    std::printf("site exchange, %lld goods, chunk %s, load average %s\n", static_cast<long long>(rows),
                qPrintable(parser.value(QStringLiteral("chunk"))), loadAverage.readAll().trimmed().constData());

    Pass write;
    {
        QElapsedTimer timer;
        const Bench::CpuTimes cpu = Bench::Cpu();
        const double siteCpu = ServerCpu(pid);
        timer.start();
        if (!model.SaveToModxSite(host, login, password)) {
            std::fprintf(stderr, "modxbench: write failed: %s\n", qPrintable(model.LastError()));
            return 1;
        }
        write.seconds = Bench::Seconds(timer);
        write.clientCpu = Bench::CpuSecondsSince(cpu);
        write.serverCpu = pid.isEmpty() ? -1 : ServerCpu(pid) - siteCpu;
    }
    Show("write", "modx_write", rows, write, writeTarget);

    Pass read;
    Model back;
    {
        QElapsedTimer timer;
        const Bench::CpuTimes cpu = Bench::Cpu();
        const double siteCpu = ServerCpu(pid);
        timer.start();
        if (!back.LoadFromModxSite(host, login, password)) {
            std::fprintf(stderr, "modxbench: read failed: %s\n", qPrintable(back.LastError()));
            return 1;
        }
        read.seconds = Bench::Seconds(timer);
        read.clientCpu = Bench::CpuSecondsSince(cpu);
        read.serverCpu = pid.isEmpty() ? -1 : ServerCpu(pid) - siteCpu;
    }
    const qint64 readRows = StatusCounts::Of(back.Root()).goods;
    Show("read", "modx_read", readRows, read, 20000);
    if (readRows != rows)
        std::printf("read back %lld goods of %lld: FAIL\n", static_cast<long long>(readRows), static_cast<long long>(rows));
    // The same rows loaded from the local copy: what the read costs the
    // client beyond the exchange itself.
    {
        Model local;
        QElapsedTimer timer;
        const Bench::CpuTimes cpu = Bench::Cpu();
        timer.start();
        local.AddFile(back.Sources().first().path);
        const double seconds = Bench::Seconds(timer);
        const double cpuSeconds = Bench::CpuSecondsSince(cpu);
        std::printf("peer: loading the site's copy from its CSV file: %.2f s, CPU %.2f s (%.0f rows/s)\n", seconds,
                    cpuSeconds, double(readRows) / seconds);
        Bench::Figure("modx_read_local_load_cpu_s", cpuSeconds);
        local.Clear(false);
    }
    // The site alone: the same rows posted by curl, which costs next to
    // nothing, to a fresh database. What the program adds is the gap
    // between this and the write above.
    if (ownSite && !QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()) {
        QTemporaryDir peerDir;
        PhpServer peer;
        const int chunk = parser.value(QStringLiteral("chunk")).toInt();
        std::unique_ptr<IReader> copy(OpenCsvReader(back.Sources().first().path));
        QStringList bodies;
        QJsonArray rowsOfChunk;
        const auto flush = [&]() {
            const QString file = QDir(peerDir.path()).filePath(QStringLiteral("chunk%1.json").arg(bodies.size()));
            QFile out(file);
            out.open(QIODevice::WriteOnly);
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("action"), QStringLiteral("update")},
                                                {QStringLiteral("object"), rowsOfChunk}})
                              .toJson(QJsonDocument::Compact));
            bodies << file;
            rowsOfChunk = QJsonArray();
        };
        for (QStringList row = copy->NextRow(); !row.isEmpty(); row = copy->NextRow()) {
            rowsOfChunk.append(QJsonArray::fromStringList(row));
            if (rowsOfChunk.size() == chunk)
                flush();
        }
        if (!rowsOfChunk.isEmpty())
            flush();
        if (peer.Start(peerDir.path(), chunk)) {
            const QString url = QStringLiteral("http://127.0.0.1:%1/cron.php").arg(peer.port);
            const QString jar = QDir(peerDir.path()).filePath(QStringLiteral("jar"));
            const QStringList common{QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                     QStringLiteral("-b"), jar, QStringLiteral("-c"), jar, QStringLiteral("-H"),
                                     QStringLiteral("Content-Type: application/json"), url};
            QProcess::execute(QStringLiteral("curl"),
                              common + QStringList{QStringLiteral("-d"),
                                                   QStringLiteral("{\"action\":\"login\",\"object\":{\"login\":\"%1\","
                                                                  "\"password\":\"%2\"}}")
                                                           .arg(QLatin1String(kLogin), QLatin1String(kPassword))});
            const double siteCpu = ServerCpu({peer.process.processId()});
            QElapsedTimer timer;
            timer.start();
            for (const QString &body : qAsConst(bodies))
                QProcess::execute(QStringLiteral("curl"), common + QStringList{QStringLiteral("--data-binary"),
                                                                               QLatin1Char('@') + body});
            const double seconds = Bench::Seconds(timer);
            std::printf("peer: curl posting the same %d chunks: %.2f s, %.0f rows/s, site CPU %.2f s; "
                        "the program's write takes %.2f times as long\n",
                        int(bodies.size()), seconds, double(readRows) / seconds,
                        ServerCpu({peer.process.processId()}) - siteCpu, write.seconds / seconds);
            Bench::Figure("modx_write_curl_rows_per_s", double(readRows) / seconds);
        }
    }
    for (const Source &source : back.Sources())
        QFile::remove(source.path);
    back.Clear(false);
    return 0;
}
