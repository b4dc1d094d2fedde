#pragma once

#include "imageloader.h"

#include <QDialog>

struct Good;
class GoodPropsView;

namespace Ui {
class GoodViewDialog;
}

// Shows one good: its picture and every column of its feed row, the values
// the catalogue computes (price, category, offer) first. It has a picture
// loader of its own, so the picture is downloaded each time it opens.
class GoodViewDialog final : public QDialog
{
    Q_OBJECT

public:
    GoodViewDialog(Good *good, QWidget *parent = nullptr);
    ~GoodViewDialog() override;

    const GoodPropsView *Properties() const { return m_properties; }

public slots:
    void ImageLoaded(const QPixmap &image, const QString &url, const QModelIndex &index);

private:
    Q_DISABLE_COPY(GoodViewDialog)

    void ShowNoPicture(const QString &reason);

    ImageLoader m_loader;
    Ui::GoodViewDialog *ui;
    GoodPropsView *m_properties = nullptr; // child of the dialog
};
