#pragma once

#include "imageloader.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>

struct Good;
class GoodPropsView;
class Model;
class QResizeEvent;

namespace Ui {
class GoodViewDialog;
}

// Shows one good: its picture and every column of its feed row, the values
// the catalogue computes (price, category, offer) first. After a base, a
// changed good's card lists what changed, old and new, and marks those
// rows; a deleted good's says that only the base holds it. The values can
// be selected and copied (Ctrl+C, or the context menu), and the picture
// grows with the dialog. It has a picture loader of its own, so the
// picture is downloaded each time it opens.
class GoodViewDialog final : public QDialog
{
    Q_OBJECT

public:
    // The model tells a changed good's base row; without it the card shows
    // the good's own row only.
    GoodViewDialog(Good *good, QWidget *parent = nullptr, const Model *model = nullptr);
    ~GoodViewDialog() override;

    const GoodPropsView *Properties() const { return m_properties; }
    // Puts the selected cells on the clipboard, a row a line.
    void CopySelection();

protected:
    void resizeEvent(QResizeEvent *event) override;

public slots:
    void ImageLoaded(const QPixmap &image, const QString &url, const QModelIndex &index);

private:
    Q_DISABLE_COPY(GoodViewDialog)

    void ShowNoPicture(const QString &reason);
    void ShowChanges(Good *good, const Model &model, const QHash<QString, int> &rowOfColumn);
    void FitPicture();

    // Kept larger than the card's: the dialog scales it to its own size.
    static constexpr int kPictureSide = 800;

    ImageLoader m_loader;
    QPixmap m_picture; // as it came, before it is fitted to the label
    Ui::GoodViewDialog *ui;
    GoodPropsView *m_properties = nullptr; // child of the dialog
};
