#pragma once

#include <memory>

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

namespace Ui {
class AdmitdeZozavoDialog;
}

// Lets the user authorise at Admitad in the web browser and waits for the
// relay to hand back their offers. "Авторизоваться" opens the authorisation
// address and polls the relay until the offer document arrives, the user
// cancels or the wait runs out. The document is kept in a private temporary
// file that lives as long as the dialog.
class AdmitdeZozavoDialog final : public QDialog
{
    Q_OBJECT

public:
    // The result of exec() when the user has given another relay address:
    // the authorisation has to start again there.
    static const int RelayChanged = 2;

    // An empty relay means the one in force (AdmitadRelay::Address()).
    explicit AdmitdeZozavoDialog(const QString &authorisationUrl, QWidget *parent = nullptr,
                                 const QString &relay = QString());
    ~AdmitdeZozavoDialog() override;

    QString ResultFile() const { return resultFile; }

    // The pause between two polls and the longest wait for the document.
    void SetPollTimes(int pauseMs, int limitMs);

    // Asks for the relay's address and stores it; true when one was stored.
    static bool AskForRelay(QWidget *parent);

public slots:
    void accept() override;
    void done(int result) override;
    void DataRecived(QNetworkReply *reply);

private:
    Q_DISABLE_COPY(AdmitdeZozavoDialog)

    void StopPolling();
    void ShowWaiting();
    void GiveUp();
    bool SaveResult(const QByteArray &document);
    void ChangeRelay();
    static QString DurationText(qint64 ms);

    QString requestUrl;
    QString resultFile;
    QNetworkAccessManager *network; // child of the dialog
    std::unique_ptr<Ui::AdmitdeZozavoDialog> ui;

    QString m_relay;
    std::unique_ptr<QTemporaryFile> m_result;
    QNetworkReply *m_pending = nullptr;
    bool m_polling = false;
    QString m_lastProblem;
    int m_pauseMs = 1000;
    int m_limitMs = 10 * 60 * 1000;
    QTimer m_pause;
    QTimer m_limit;
    QTimer m_ticker;
    QElapsedTimer m_clock;
};
