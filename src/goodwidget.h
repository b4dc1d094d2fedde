#pragma once

#include "imageloader.h"

#include <QModelIndex>
#include <QString>
#include <QWidget>

struct Good;

namespace Ui {
class GoodWidget;
}

// The card of one good: its picture and eight labelled fields. The goods
// list draws every row with one such card, filled and rendered off-screen,
// so filling must stay cheap: the good's row is read once, and a picture or
// text that is already shown is not set again.
class GoodWidget final : public QWidget
{
    Q_OBJECT

public:
    explicit GoodWidget(QWidget *parent = nullptr);
    ~GoodWidget() override;

    // Fills the card from the good's feed row; leaves it as it was when the
    // row cannot be read. The index is repainted when the picture arrives.
    void SetGood(Good *good, const QModelIndex &index);

public slots:
    void ImageLoaded(const QPixmap &image, const QString &url, const QModelIndex &index);

private:
    Q_DISABLE_COPY(GoodWidget)

    enum class Picture { Form, Loading, Image, Nothing };

    static constexpr qreal kSmallestPointSize = 6;

    void FitFontToRowHeight();
    void ShowPicture(const QString &url, const QModelIndex &index);

    ImageLoader m_loader;
    Ui::GoodWidget *ui;
    const QString m_loadingText;
    Picture m_picture = Picture::Form;
    qint64 m_pixmapKey = 0; // cache key of the picture shown
};
