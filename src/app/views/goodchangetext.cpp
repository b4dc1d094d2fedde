#include "goodchangetext.h"

#include "changeformat.h"
#include "good.h"
#include "interfacelanguage.h"
#include "model.h"
#include "schema.h"
#include "source.h"

QString GoodChangeText::Caption(const QString &column)
{
    // The texts keep the card's context, where they were translated first.
    struct Entry
    {
        QLatin1String column;
        const char *caption;
    };
    static const Entry kCaptions[] = {
            {Schema::Column::Name, QT_TRANSLATE_NOOP("GoodViewDialog", "Название")},
            {Schema::Column::Price, QT_TRANSLATE_NOOP("GoodViewDialog", "Цена")},
            {Schema::Column::OldPrice, QT_TRANSLATE_NOOP("GoodViewDialog", "Старая цена")},
            {Schema::Column::CategoryId, QT_TRANSLATE_NOOP("GoodViewDialog", "Категория")},
            {Schema::Column::Categories, QT_TRANSLATE_NOOP("GoodViewDialog", "Категории в фиде")},
            {Schema::Column::Vendor, QT_TRANSLATE_NOOP("GoodViewDialog", "Производитель")},
            {Schema::Column::OfferName, QT_TRANSLATE_NOOP("GoodViewDialog", "Источник")},
            {Schema::Column::Description, QT_TRANSLATE_NOOP("GoodViewDialog", "Описание")},
            {Schema::Column::Picture, QT_TRANSLATE_NOOP("GoodViewDialog", "Картинка")},
            {Schema::Column::Logo, QT_TRANSLATE_NOOP("GoodViewDialog", "Картинка")},
            {Schema::Column::Url, QT_TRANSLATE_NOOP("GoodViewDialog", "Ссылка")},
            {Schema::Column::Id, QT_TRANSLATE_NOOP("GoodViewDialog", "Код товара")},
            {Schema::Column::IdTpl, QT_TRANSLATE_NOOP("GoodViewDialog", "Шаблон идентификатора")},
            {Schema::Column::Status, QT_TRANSLATE_NOOP("GoodViewDialog", "Статус в фиде")},
    };
    for (const auto &caption : kCaptions) {
        if (column == caption.column)
            return QCoreApplication::translate("GoodViewDialog", caption.caption);
    }
    return column;
}

QStringList GoodChangeText::Lines(const Model &model, const Good *good, int maxLength)
{
    QStringList lines;
    if (!good || good->status != Changed)
        return lines;
    const QLocale locale = InterfaceLanguage::Current();
    const QList<ChangedGoods::Difference> differences = model.ChangesOf(good);
    for (const ChangedGoods::Difference &difference : differences) {
        lines.append(tr("%1: %2").arg(Caption(difference.column),
                                      ChangeFormat::Change(difference.oldValue, difference.newValue, locale,
                                                           ChangeFormat::IsAmount(difference.column), maxLength)));
    }
    return lines;
}

QString GoodChangeText::OnlyInBase(const Good *good)
{
    if (!good || good->status != Deleted || !good->source)
        return QString();
    return tr("Этого товара нет в данных: он есть только в базе %1 и будет удалён с сайта.").arg(good->source->name);
}
