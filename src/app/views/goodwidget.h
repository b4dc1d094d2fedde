#pragma once

#include "imageloader.h"

#include <QHash>
#include <QModelIndex>
#include <QQueue>
#include <QString>
#include <QWidget>

struct Good;

namespace Ui {
class GoodWidget;
}

// The card of one good: its picture and eight labelled fields. The goods
// list draws every row with one such card, filled and rendered off-screen,
// so filling must stay cheap: the texts of the last few hundred goods drawn
// are kept, so that a good's row is read and decoded once while it stays on
// screen, and a picture or text that is already shown is not set again.
// The kept texts are forgotten when the list is rebuilt or repainted whole
// (ForgetRows), as the goods' offers, categories and rows may have changed.
class GoodWidget final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kKeptRows = 512;

    explicit GoodWidget(QWidget *parent = nullptr);
    ~GoodWidget() override;

    // Fills the card from the good's feed row; leaves it as it was when the
    // row cannot be read. The index is repainted when the picture arrives.
    void SetGood(Good *good, const QModelIndex &index);
    void ForgetRows();
    void ForgetRow(const Good *good);

    // Why the good's picture is not shown; empty when it is, or is on its way.
    QString PictureFailure(const Good *good) const;

    // A price as the card shows it: empty when the feed gave none.
    static QString PriceText(qint32 price);
    // The good's identity as the user reads it: the value that identifies
    // it and, in words, what that value is.
    static QString IdentityText(const Good *good, const QStringList &row);

public slots:
    void ImageLoaded(const QPixmap &image, const QString &url, const QModelIndex &index);

private:
    Q_DISABLE_COPY(GoodWidget)

    struct Texts
    {
        QString name;
        QString price;
        QString oldPrice;
        QString category;
        QString vendor;
        QString source;
        QString id;
        QString status;
        QString picture;
    };

    static constexpr qreal kSmallestPointSize = 6;

    void FitFontToRowHeight();
    void ShowPicture(const QString &url, const QModelIndex &index);
    void ShowPictureText(const QString &text);
    const Texts *TextsOf(Good *good);

    ImageLoader m_loader;
    Ui::GoodWidget *ui;
    const QString m_loadingText;
    const QString m_noPictureText;
    bool m_showsPixmap = false;
    qint64 m_pixmapKey = 0; // cache key of the picture shown
    QHash<const Good *, Texts> m_rows;
    QQueue<const Good *> m_rowOrder; // oldest first
};
