#include "deleteconfirmation.h"

#include "model.h"

#include <QCoreApplication>
#include <QMessageBox>

bool DeleteConfirmation::Ask(QWidget *parent, const Model &model, const Filter *filter)
{
    const Model::DeleteShare share = model.DeletedShare(filter);
    if (share.Percent() <= kThresholdPercent)
        return true;
    const QString text = QCoreApplication::translate("DeleteConfirmation",
                                                     "Удаляется %1 из %2 товаров базы (%3%). Продолжить?")
                                 .arg(share.deleted)
                                 .arg(share.baseRows)
                                 .arg(QString::number(share.Percent(), 'f', 1));
    QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("DeleteConfirmation", "Экспорт"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
