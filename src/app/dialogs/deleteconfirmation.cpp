#include "deleteconfirmation.h"

#include "model.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QStringList>

bool DeleteConfirmation::Ask(QWidget *parent, const Model &model, const Filter *filter)
{
    const Model::DeleteShare share = model.DeletedShare(filter);
    if (!share.Exceeds(kThresholdPercent))
        return true;
    const QString text = QCoreApplication::translate("DeleteConfirmation",
                                                     "Удаляется %1 из %2 товаров базы (%3%). Продолжить?")
                                 .arg(share.deleted)
                                 .arg(share.baseRows)
                                 .arg(QString::number(share.Percent(), 'f', 1));
    QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("DeleteConfirmation", "Экспорт"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    // An offer that lost every good is most often a feed that failed.
    QStringList offers;
    for (const Model::DeleteShare::WholeOffer &offer : share.wholeOffers) {
        offers << QCoreApplication::translate("DeleteConfirmation", "оффер %1: в базе %2, в данных %3")
                          .arg(offer.name, QString::number(offer.inBase), QString::number(offer.inData));
    }
    box.setInformativeText(offers.join(QLatin1Char('\n')));
    return box.exec() == QMessageBox::Yes;
}
