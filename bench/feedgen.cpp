// Generates affiliate product feeds in the catalogue's CSV dialect, and bases
// derived from them, for the benchmarks. The output depends only on the
// options and the seed.
//
//   feedgen --rows N --out FEED [--categories N] [--duplicates F]
//           [--one-category] [--no-offer-column] [--seed S]
//   feedgen --base-from FEED --out BASE [--drop F] [--change F] [--add F]
//           [--keep-order] [--seed S]
//   feedgen --yml --rows N --out FEED.xml [--categories N] [--seed S]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include "benchutil.h"
#include "csvmanipulator.h"

using Bench::Random;

namespace
{

// ---------------------------------------------------------------------------
// Vocabulary

struct Department
{
    const char *name;
    std::vector<const char *> groups;
    int firstKind; // the department's product kinds: [firstKind, endKind) of Kinds()
    int endKind;
};

const std::vector<Department> &Departments()
{
    static const std::vector<Department> list = {
        {"Электроника", {"Смартфоны и гаджеты", "Компьютеры и ноутбуки", "Аудиотехника", "Телевизоры и видео", "Фото и видео", "Умный дом"}, 7, 18},
        {"Бытовая техника", {"Техника для кухни", "Климатическая техника", "Уход за одеждой", "Уборка", "Встраиваемая техника", "Красота и здоровье"}, 0, 7},
        {"Одежда, обувь и аксессуары", {"Женская одежда", "Мужская одежда", "Детская одежда", "Обувь", "Сумки и рюкзаки", "Аксессуары"}, 27, 35},
        {"Дом и сад", {"Посуда", "Текстиль для дома", "Освещение", "Хранение вещей", "Садовый инвентарь", "Декор интерьера"}, 18, 27},
        {"Детские товары", {"Игрушки", "Коляски и автокресла", "Детская комната", "Кормление", "Гигиена малыша", "Творчество"}, 35, 39},
        {"Красота и здоровье", {"Уход за лицом", "Уход за волосами", "Парфюмерия", "Макияж", "Медицинские приборы", "Витамины и БАДы"}, 39, 43},
        {"Спорт и отдых", {"Тренажёры и фитнес", "Туризм и кемпинг", "Велоспорт", "Зимние виды спорта", "Рыбалка", "Плавание"}, 43, 49},
        {"Автотовары", {"Шины и диски", "Автоэлектроника", "Автохимия", "Аксессуары в салон", "Инструмент для авто", "Масла и жидкости"}, 49, 51},
        {"Строительство и ремонт", {"Электроинструмент", "Ручной инструмент", "Сантехника", "Отделочные материалы", "Электрика", "Крепёж"}, 51, 56},
        {"Зоотовары", {"Для кошек", "Для собак", "Для птиц", "Аквариумистика", "Для грызунов", "Ветаптека"}, 56, 59},
        {"Книги и канцелярия", {"Художественная литература", "Детские книги", "Учебная литература", "Канцтовары", "Бумажная продукция", "Настольные игры"}, 59, 63},
        {"Продукты питания", {"Чай и кофе", "Сладости", "Бакалея", "Здоровое питание", "Напитки", "Специи и приправы"}, 63, 66},
        {"Мебель", {"Мебель для гостиной", "Мебель для спальни", "Кухонная мебель", "Офисная мебель", "Детская мебель", "Садовая мебель"}, 66, 71},
        {"Ювелирные украшения", {"Кольца", "Серьги", "Цепи и браслеты", "Подвески", "Часы", "Бижутерия"}, 71, 75},
    };
    return list;
}

// Product kinds: the category name (plural) and the type prefix of a good.
struct Kind
{
    const char *plural;
    const char *singular;
};

const std::vector<Kind> &Kinds()
{
    static const std::vector<Kind> list = {
        {"Чайники электрические", "Чайник электрический"}, {"Кофеварки", "Кофеварка"}, {"Блендеры", "Блендер"},
        {"Мультиварки", "Мультиварка"}, {"Пылесосы", "Пылесос"}, {"Утюги", "Утюг"}, {"Фены", "Фен"},
        {"Наушники", "Наушники"}, {"Колонки портативные", "Колонка портативная"}, {"Смартфоны", "Смартфон"},
        {"Планшеты", "Планшет"}, {"Ноутбуки", "Ноутбук"}, {"Мониторы", "Монитор"}, {"Клавиатуры", "Клавиатура"},
        {"Мыши компьютерные", "Мышь компьютерная"}, {"Чехлы", "Чехол"}, {"Зарядные устройства", "Зарядное устройство"},
        {"Кабели и переходники", "Кабель"}, {"Светильники", "Светильник"}, {"Люстры", "Люстра"},
        {"Сковороды", "Сковорода"}, {"Кастрюли", "Кастрюля"}, {"Ножи кухонные", "Нож кухонный"},
        {"Пледы", "Плед"}, {"Подушки", "Подушка"}, {"Комплекты постельного белья", "Комплект постельного белья"},
        {"Полотенца", "Полотенце"}, {"Куртки", "Куртка"}, {"Платья", "Платье"}, {"Джинсы", "Джинсы"},
        {"Футболки", "Футболка"}, {"Кроссовки", "Кроссовки"}, {"Ботинки", "Ботинки"}, {"Рюкзаки", "Рюкзак"},
        {"Сумки", "Сумка"}, {"Конструкторы", "Конструктор"}, {"Куклы", "Кукла"}, {"Машинки", "Машинка"},
        {"Пазлы", "Пазл"}, {"Кремы для лица", "Крем для лица"}, {"Шампуни", "Шампунь"}, {"Духи", "Духи"},
        {"Тонометры", "Тонометр"}, {"Гантели", "Гантели"}, {"Палатки", "Палатка"}, {"Спальные мешки", "Спальный мешок"},
        {"Велосипеды", "Велосипед"}, {"Самокаты", "Самокат"}, {"Удочки", "Удочка"}, {"Видеорегистраторы", "Видеорегистратор"},
        {"Автомобильные шины", "Шина автомобильная"}, {"Дрели", "Дрель"}, {"Шуруповёрты", "Шуруповёрт"},
        {"Перфораторы", "Перфоратор"}, {"Наборы инструментов", "Набор инструментов"}, {"Смесители", "Смеситель"},
        {"Корма для кошек", "Корм для кошек"}, {"Корма для собак", "Корм для собак"}, {"Лежанки", "Лежанка"},
        {"Романы", "Роман"}, {"Ежедневники", "Ежедневник"}, {"Ручки", "Ручка"}, {"Настольные игры", "Настольная игра"},
        {"Чай листовой", "Чай листовой"}, {"Кофе в зёрнах", "Кофе в зёрнах"}, {"Шоколад", "Шоколад"},
        {"Диваны", "Диван"}, {"Кресла", "Кресло"}, {"Столы", "Стол"}, {"Стулья", "Стул"}, {"Шкафы", "Шкаф"},
        {"Кольца", "Кольцо"}, {"Серьги", "Серьги"}, {"Браслеты", "Браслет"}, {"Часы наручные", "Часы наручные"},
    };
    return list;
}

const std::vector<const char *> &LeafQualifiers()
{
    static const std::vector<const char *> list = {
        "", "для дома", "премиум", "бюджетные", "детские", "женские", "мужские", "профессиональные", "компактные",
        "беспроводные", "складные", "с подогревом", "из нержавеющей стали", "керамические", "деревянные",
        "для дачи", "для офиса", "для путешествий", "с доставкой", "подарочные", "универсальные", "зимние",
        "летние", "наборы", "и аксессуары",
    };
    return list;
}

const std::vector<const char *> &FourthLevels()
{
    static const std::vector<const char *> list = {
        "Новинки", "Распродажа", "Хиты продаж", "Эконом", "Премиум-класс", "Наборы", "Запчасти", "Уценённые товары",
    };
    return list;
}

const std::vector<const char *> &Colors()
{
    static const std::vector<const char *> list = {
        "красный", "синий", "чёрный", "белый", "серый", "зелёный", "бежевый", "розовый", "жёлтый", "фиолетовый",
        "коричневый", "голубой", "оранжевый", "серебристый", "золотистый",
    };
    return list;
}

const std::vector<const char *> &Materials()
{
    static const std::vector<const char *> list = {
        "пластик", "металл", "нержавеющая сталь", "хлопок", "полиэстер", "натуральная кожа", "экокожа", "дерево",
        "стекло", "керамика", "алюминий", "силикон", "шерсть", "бамбук",
    };
    return list;
}

const std::vector<const char *> &Openers()
{
    static const std::vector<const char *> list = {
        "Практичная модель", "Надёжное решение", "Современная новинка", "Стильная модель", "Удобная вещь",
        "Компактный вариант", "Лёгкая и прочная модель", "Универсальное решение", "Функциональная модель",
        "Проверенная временем модель",
    };
    return list;
}

const std::vector<const char *> &Claims()
{
    static const std::vector<const char *> list = {
        "подойдёт для ежедневного использования", "выполнена из качественных материалов",
        "прослужит долгие годы без потери внешнего вида", "станет отличным подарком близким",
        "проста в уходе и не требует особого обслуживания", "легко помещается в сумку или рюкзак",
        "отличается продуманной конструкцией и аккуратной сборкой", "сочетает современный дизайн и надёжность",
        "прошла контроль качества на каждом этапе производства", "выгодно отличается от аналогов по цене",
    };
    return list;
}

const std::vector<const char *> &Extras()
{
    static const std::vector<const char *> list = {
        "Гарантия производителя 12 месяцев.", "Товар сертифицирован и соответствует требованиям ГОСТ.",
        "В комплекте инструкция на русском языке.", "Доставка по всей России, самовывоз из пунктов выдачи.",
        "Оригинальная продукция с официальной гарантией.", "Перед использованием внимательно ознакомьтесь с инструкцией.",
        "Цвет изделия может незначительно отличаться от представленного на фотографии.",
        "Упаковка надёжно защищает товар при транспортировке.", "Подходит для подарка: поставляется в фирменной коробке.",
        "Производитель оставляет за собой право изменять комплектацию без предварительного уведомления.",
    };
    return list;
}

const std::vector<const char *> &Countries()
{
    static const std::vector<const char *> list = {"Китай", "Россия", "Германия", "Италия", "Турция", "Беларусь", "Польша", "Корея"};
    return list;
}

// Advertisers: their names (the "advcampaign_name" value) and site domains.
// Every host of the generated links is under the reserved ".example" domain.
struct Advertiser
{
    const char *name;
    const char *domain;
    int id;
};

const std::vector<Advertiser> &Advertisers()
{
    static const std::vector<Advertiser> list = {
        {"Ламбриум RU", "lambrium-shop.example", 10231}, {"Токсора", "toxora.example", 11872},
        {"Велмикс Маркет", "velmix-market.example", 12455}, {"Дарнела RU", "darnela.example", 13019},
        {"Кронвиль", "kronvil-store.example", 14387}, {"Сампиро Дом", "sampiro-dom.example", 15120},
        {"Элвента", "elventa.example", 16644}, {"Ортелия RU", "ortelia.example", 17501},
        {"Фрескано", "freskano-shop.example", 18230}, {"Зимбеар", "zimbear.example", 19077},
        {"Нордвелла", "nordvella.example", 20415}, {"Пеликана Маркет", "pelikana-market.example", 21962},
    };
    return list;
}

QString Translit(const QString &text)
{
    static const char *const table[] = {
        "a", "b", "v", "g", "d", "e", "zh", "z", "i", "y", "k", "l", "m", "n", "o", "p",
        "r", "s", "t", "u", "f", "h", "ts", "ch", "sh", "sch", "", "y", "", "e", "yu", "ya",
    };
    QString out;
    out.reserve(text.size() + 8);
    bool dash = false;
    for (QChar c : text) {
        const ushort u = c.toLower().unicode();
        if (u >= 0x0430 && u <= 0x044F) {
            out += QLatin1String(table[u - 0x0430]);
            dash = false;
        } else if (u == 0x0451) {
            out += QLatin1Char('e');
            dash = false;
        } else if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')) {
            out += QChar(u);
            dash = false;
        } else if (!dash && !out.isEmpty()) {
            out += QLatin1Char('-');
            dash = true;
        }
    }
    while (out.endsWith(QLatin1Char('-')))
        out.chop(1);
    return out;
}

QString Hex(Random &rng, int digits)
{
    static const char hex[] = "0123456789abcdef";
    QString out(digits, Qt::Uninitialized);
    for (int i = 0; i < digits; ++i)
        out[i] = QLatin1Char(hex[rng.Below(16)]);
    return out;
}

template<typename T>
const T &Pick(Random &rng, const std::vector<T> &list)
{
    return list[rng.Below(quint32(list.size()))];
}

QString Money(qint64 kopecks, bool withFraction)
{
    if (!withFraction)
        return QString::number(kopecks / 100);
    return QString::number(kopecks / 100) + QLatin1Char('.') + QStringLiteral("%1").arg(kopecks % 100, 2, 10, QLatin1Char('0'));
}

// ---------------------------------------------------------------------------
// Feed generation

struct Category
{
    QString path;
    int advertiser;
    int kind;
};

struct Product
{
    int category = 0;
    QString typePrefix;
    QString vendor;
    QString vendorCode;
    QString name;
    QString description;
    QString param;
    QString picture;
    QString url;
    QString price;
    QString oldPrice;
    QString country;
};

class FeedGenerator
{
public:
    FeedGenerator(quint64 seed, int categoryCount, bool oneCategory)
        : m_seed(seed)
    {
        MakeVendors();
        MakeCategories(oneCategory ? 1 : std::max(1, categoryCount), oneCategory);
        for (const Advertiser &adv : Advertisers()) {
            Random rng(Random::Mix(m_seed, quint64(adv.id)));
            m_affiliateHash.append(Hex(rng, 30));
        }
    }

    int CategoryCount() const { return int(m_categories.size()); }

    // A product is a function of the seed and its number alone, so that a
    // duplicate row can repeat it.
    Product MakeProduct(qint64 number) const
    {
        Random rng(Random::Mix(m_seed, quint64(number) + 0x1000));
        Product p;
        p.category = PickCategory(rng);
        const Category &cat = m_categories[size_t(p.category)];
        const Advertiser &adv = Advertisers()[size_t(cat.advertiser)];
        p.typePrefix = QString::fromUtf8(Kinds()[size_t(cat.kind)].singular);
        p.vendor = m_vendors[int(rng.Below(quint32(m_vendors.size())))];
        const QString letters = QStringLiteral("ABCDEFGHKLMNPRSTVXZ");
        p.vendorCode = QString(letters[int(rng.Below(quint32(letters.size())))]) + letters[int(rng.Below(quint32(letters.size())))]
                + QLatin1Char('-') + QString::number(100 + rng.Below(9900));
        const QString color = QString::fromUtf8(Pick(rng, Colors()));
        p.name = p.typePrefix + QLatin1Char(' ') + p.vendor + QLatin1Char(' ') + p.vendorCode;
        if (rng.Chance(0.45))
            p.name += QStringLiteral(", ") + color;
        p.country = QString::fromUtf8(Pick(rng, Countries()));
        p.description = MakeDescription(rng, p, color);

        if (rng.Chance(0.6)) {
            p.param = QStringLiteral("Цвет:") + color + QStringLiteral("|Материал:") + QString::fromUtf8(Pick(rng, Materials()));
            if (rng.Chance(0.5))
                p.param += QStringLiteral("|Размер:") + QString::number(36 + rng.Below(14));
            if (rng.Chance(0.3))
                p.param += QStringLiteral("|Гарантия:") + QString::number(6 + 6 * rng.Below(4)) + QStringLiteral(" мес.");
        }

        const QString domain = QLatin1String(adv.domain);
        const QString image = QStringLiteral("https://cdn.") + domain + QStringLiteral("/images/goods/")
                + QString::number(number % 1000) + QLatin1Char('/') + QString::number(number)
                + QStringLiteral("/1000x1000/") + QString::number(10000000 + rng.Below(89999999)) + QStringLiteral(".jpg");
        p.picture = image;
        if (rng.Chance(0.25))
            p.picture += QLatin1Char(' ') + image.left(image.size() - 12) + QString::number(10000000 + rng.Below(89999999)) + QStringLiteral(".jpg");

        // The affiliate link carries the shop's page, url-encoded, in "ulp".
        QString page = QStringLiteral("https://www.") + domain + QStringLiteral("/product/");
        if (rng.Chance(0.2))
            page += p.typePrefix.toLower() + QLatin1Char('-') + QString::number(number) + QLatin1Char('/');
        else
            page += Translit(p.typePrefix + QLatin1Char(' ') + p.vendor + QLatin1Char(' ') + p.vendorCode) + QLatin1Char('-')
                    + QString::number(number) + QLatin1Char('/');
        p.url = QStringLiteral("https://ad.partnernet.example/g/") + m_affiliateHash[cat.advertiser]
                + QStringLiteral("/?i=5&f_id=") + QString::number(adv.id) + QStringLiteral("&ulp=")
                + QString::fromLatin1(QUrl::toPercentEncoding(page));

        const double rubles = 150.0 * std::pow(1000.0, rng.Unit());
        const qint64 kopecks = qint64(rubles) * 100 + (rng.Chance(0.3) ? 90 : 0);
        const bool fraction = rng.Chance(0.7);
        p.price = Money(kopecks, fraction);
        if (rng.Chance(0.35))
            p.oldPrice = Money(kopecks + kopecks * (10 + rng.Below(40)) / 100, fraction);
        return p;
    }

    const Category &CategoryAt(int index) const { return m_categories[size_t(index)]; }
    int OtherCategory(Random &rng) const { return PickCategory(rng); }

private:
    void MakeVendors()
    {
        static const char *const syllables[] = {"nor", "vik", "al", "tra", "ker", "mon", "zel", "ta", "rio", "fen", "dax",
                                               "lu", "mer", "sol", "brin", "to", "ka", "vel", "or", "pax", "ti", "ber",
                                               "gal", "un", "ro", "sen", "quo", "lis", "ma", "ex"};
        const int syllableCount = int(sizeof(syllables) / sizeof(syllables[0]));
        Random rng(Random::Mix(m_seed, 7));
        QSet<QString> seen;
        while (m_vendors.size() < 400) {
            QString name;
            const int parts = 2 + int(rng.Below(2));
            for (int i = 0; i < parts; ++i)
                name += QLatin1String(syllables[rng.Below(quint32(syllableCount))]);
            name[0] = name[0].toUpper();
            if (rng.Chance(0.1))
                name = name.toUpper();
            if (!seen.contains(name)) {
                seen.insert(name);
                m_vendors.append(name);
            }
        }
    }

    void MakeCategories(int count, bool oneCategory)
    {
        Random rng(Random::Mix(m_seed, 11));
        const auto &departments = Departments();
        const auto &kinds = Kinds();
        QSet<QString> seen;
        while (int(m_categories.size()) < count) {
            const Department &dep = Pick(rng, departments);
            const int kind = dep.firstKind + int(rng.Below(quint32(dep.endKind - dep.firstKind)));
            QString leaf = QString::fromUtf8(kinds[size_t(kind)].plural);
            const QString qualifier = QString::fromUtf8(Pick(rng, LeafQualifiers()));
            if (!qualifier.isEmpty())
                leaf += QLatin1Char(' ') + qualifier;
            QString path = QString::fromUtf8(dep.name) + QLatin1Char('/');
            const double depth = rng.Unit();
            if (depth < 0.15) {
                path += leaf;
            } else {
                path += QString::fromUtf8(Pick(rng, dep.groups)) + QLatin1Char('/') + leaf;
                if (depth > 0.8)
                    path += QLatin1Char('/') + QString::fromUtf8(Pick(rng, FourthLevels()));
            }
            // Past the vocabulary's combinations a series number keeps paths distinct.
            if (seen.contains(path))
                path += QStringLiteral(" (серия ") + QString::number(m_categories.size()) + QLatin1Char(')');
            if (seen.contains(path))
                continue;
            seen.insert(path);
            m_categories.push_back({path, int(rng.Below(quint32(Advertisers().size()))), kind});
        }
        if (oneCategory)
            m_categories.front().path = QStringLiteral("Электроника/Смартфоны и гаджеты/Смартфоны");
        // Popularity: a few categories hold many goods, most hold few.
        m_popularity.resize(m_categories.size());
        for (size_t i = 0; i < m_popularity.size(); ++i)
            m_popularity[i] = int(i);
        for (size_t i = m_popularity.size(); i > 1; --i)
            std::swap(m_popularity[i - 1], m_popularity[rng.Below(quint32(i))]);
    }

    int PickCategory(Random &rng) const
    {
        const double u = rng.Unit();
        const size_t index = std::min(m_popularity.size() - 1, size_t(double(m_popularity.size()) * u * u));
        return m_popularity[index];
    }

    QString MakeDescription(Random &rng, const Product &p, const QString &color) const
    {
        const QString material = QString::fromUtf8(Pick(rng, Materials()));
        QStringList sentences;
        sentences << QString::fromUtf8(Pick(rng, Openers())) + QStringLiteral(" от ") + p.vendor + QLatin1Char(' ')
                        + QString::fromUtf8(Pick(rng, Claims())) + QLatin1Char('.');
        const int extra = int(rng.Below(3));
        for (int i = 0; i < extra; ++i) {
            switch (rng.Below(4)) {
            case 0:
                sentences << QStringLiteral("Модель ") + QString::fromUtf8(Pick(rng, Claims())) + QLatin1Char('.');
                break;
            case 1:
                sentences << QStringLiteral("Материал: ") + material + QStringLiteral(", цвет: ") + color
                                + QStringLiteral(", страна производства: ") + p.country + QLatin1Char('.');
                break;
            default:
                sentences << QString::fromUtf8(Pick(rng, Extras()));
                break;
            }
        }
        const double style = rng.Unit();
        if (style < 0.15) {
            // HTML with attribute quotes: the field must be quoted and its quotes doubled.
            QString html = QStringLiteral("<div class=\"description\"><p>") + sentences.first() + QStringLiteral("</p><ul>");
            html += QStringLiteral("<li>Цвет: ") + color + QStringLiteral("</li><li>Материал: ") + material
                    + QStringLiteral("</li><li>Страна: ") + p.country + QStringLiteral("</li></ul>");
            for (int i = 1; i < sentences.size(); ++i)
                html += QStringLiteral("<p>") + sentences.at(i) + QStringLiteral("</p>");
            return html + QStringLiteral("</div>");
        }
        if (style < 0.25) {
            // Characteristics separated by ";".
            return sentences.join(QLatin1Char(' ')) + QStringLiteral(" Характеристики: материал ") + material
                    + QStringLiteral("; цвет ") + color + QStringLiteral("; вес ") + QString::number(1 + rng.Below(50) / 10.0)
                    + QStringLiteral(" кг; страна ") + p.country + QLatin1Char('.');
        }
        if (style < 0.35)
            return sentences.join(rng.Chance(0.5) ? QStringLiteral("\n") : QStringLiteral("\r\n"));
        return sentences.join(QLatin1Char(' '));
    }

    quint64 m_seed;
    QStringList m_vendors;
    std::vector<Category> m_categories;
    std::vector<int> m_popularity;
    QStringList m_affiliateHash;
};

int Generate(const QCommandLineParser &args)
{
    const qint64 rows = args.value(QStringLiteral("rows")).toLongLong();
    const int categories = args.value(QStringLiteral("categories")).toInt();
    const double duplicates = args.value(QStringLiteral("duplicates")).toDouble();
    const bool oneCategory = args.isSet(QStringLiteral("one-category"));
    const bool offerColumn = !args.isSet(QStringLiteral("no-offer-column"));
    const quint64 seed = args.value(QStringLiteral("seed")).toULongLong();
    const QString out = args.value(QStringLiteral("out"));
    if (rows <= 0 || categories <= 0 || duplicates < 0 || duplicates >= 1 || out.isEmpty()) {
        std::fprintf(stderr, "feedgen: need --rows N > 0, --categories N > 0, 0 <= --duplicates < 1 and --out FILE\n");
        return 2;
    }

    QElapsedTimer timer;
    timer.start();
    const FeedGenerator gen(seed, categories, oneCategory);
    std::unique_ptr<IWriter> writer(CreateCsvWriter(out));
    if (!writer) {
        std::fprintf(stderr, "feedgen: cannot write %s\n", qPrintable(out));
        return 1;
    }
    QStringList header = {QStringLiteral("available"), QStringLiteral("categoryId"), QStringLiteral("currencyId"),
                          QStringLiteral("description"), QStringLiteral("id"), QStringLiteral("modified_time"),
                          QStringLiteral("name"), QStringLiteral("oldprice"), QStringLiteral("param"),
                          QStringLiteral("picture"), QStringLiteral("price"), QStringLiteral("typePrefix"),
                          QStringLiteral("url"), QStringLiteral("vendor"), QStringLiteral("vendorCode")};
    if (offerColumn)
        header << QStringLiteral("advcampaign_id") << QStringLiteral("advcampaign_name");
    writer->WriteHeader(header);

    Random rowRng(Random::Mix(seed, 3));
    qint64 products = 0;
    qint64 duplicateRows = 0;
    QSet<int> usedCategories;
    QStringList row;
    row.reserve(header.size());
    const QString available = QStringLiteral("true");
    const QString unavailable = QStringLiteral("false");
    const QString currency = QStringLiteral("RUB");
    for (qint64 r = 0; r < rows; ++r) {
        qint64 number;
        const bool duplicate = products > 0 && rowRng.Chance(duplicates);
        if (duplicate) {
            // Half repeat a recent product (variants listed one after another),
            // half any earlier one.
            if (rowRng.Chance(0.5))
                number = products - 1 - qint64(rowRng.Below(quint32(std::min<qint64>(products, 100))));
            else
                number = qint64(rowRng.Below(quint32(products)));
            ++duplicateRows;
        } else {
            number = products++;
        }
        const Product p = gen.MakeProduct(number);
        int category = p.category;
        if (oneCategory)
            category = 0;
        else if (duplicate && rowRng.Chance(0.5))
            category = gen.OtherCategory(rowRng);
        usedCategories.insert(category);
        const Category &cat = gen.CategoryAt(category);
        const Advertiser &adv = Advertisers()[size_t(gen.CategoryAt(p.category).advertiser)];

        row.clear();
        row << (rowRng.Chance(0.9) ? available : unavailable) << cat.path << currency << p.description
            << QString::number(100000 + r) << QString::number(1700000000 + qint64(rowRng.Below(30000000))) << p.name
            << p.oldPrice << p.param << p.picture << p.price << p.typePrefix << p.url << p.vendor << p.vendorCode;
        if (offerColumn)
            row << QString::number(adv.id) << QString::fromUtf8(adv.name);
        writer->WriteRow(row);
    }
    if (!writer->Close()) {
        std::fprintf(stderr, "feedgen: writing %s failed\n", qPrintable(out));
        return 1;
    }
    writer.reset();

    const qint64 bytes = QFileInfo(out).size();
    Bench::Say(QStringLiteral("feedgen: %1 rows (%2 duplicate urls, %3 distinct), %4 categories used of %5, "
                              "%6 bytes (%7 bytes a row) in %8 s -> %9")
                       .arg(rows)
                       .arg(duplicateRows)
                       .arg(products)
                       .arg(usedCategories.size())
                       .arg(gen.CategoryCount())
                       .arg(bytes)
                       .arg(double(bytes) / double(rows), 0, 'f', 1)
                       .arg(Bench::Seconds(timer), 0, 'f', 1)
                       .arg(out));
    Bench::Figure("rows", double(rows));
    Bench::Figure("duplicate_rows", double(duplicateRows));
    Bench::Figure("categories_used", usedCategories.size());
    Bench::Figure("bytes", double(bytes));
    return 0;
}

// ---------------------------------------------------------------------------
// Base derivation

QString RaisedPrice(const QString &price, Random &rng)
{
    const qint32 value = CsvRawRow::ParsePrice(price);
    const qint64 base = value > 0 ? value : 990;
    const qint64 raised = base + std::max<qint64>(1, base * (5 + rng.Below(25)) / 100);
    return price.contains(QLatin1Char('.')) ? QString::number(raised) + QStringLiteral(".00") : QString::number(raised);
}

int DeriveBase(const QCommandLineParser &args)
{
    const QString feedPath = args.value(QStringLiteral("base-from"));
    const QString out = args.value(QStringLiteral("out"));
    const double drop = args.value(QStringLiteral("drop")).toDouble();
    const double change = args.value(QStringLiteral("change")).toDouble();
    const double add = args.value(QStringLiteral("add")).toDouble();
    const bool keepOrder = args.isSet(QStringLiteral("keep-order"));
    const quint64 seed = args.value(QStringLiteral("seed")).toULongLong();
    if (out.isEmpty() || drop < 0 || change < 0 || add < 0 || drop + change > 1) {
        std::fprintf(stderr, "feedgen: need --out BASE and fractions with --drop + --change <= 1\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<IReader> reader(OpenCsvReader(feedPath));
    if (!reader) {
        std::fprintf(stderr, "feedgen: cannot read %s\n", qPrintable(feedPath));
        return 1;
    }
    const QStringList header = reader->Header();
    const int priceColumn = header.indexOf(QStringLiteral("price"));
    const int urlColumn = header.indexOf(QStringLiteral("url"));
    const int idColumn = header.indexOf(QStringLiteral("id"));
    if (priceColumn < 0 || urlColumn < 0) {
        std::fprintf(stderr, "feedgen: the feed needs \"price\" and \"url\" columns\n");
        return 1;
    }

    // Every row's fate; only offsets are kept, the rows are read again when written.
    Random rng(Random::Mix(seed, 5));
    std::vector<qint64> offsets;
    std::vector<char> fate; // 'k' keep, 'c' change the price
    qint64 dropped = 0;
    qint64 changed = 0;
    qint64 rows = 0;
    for (;;) {
        const qint64 offset = reader->Position();
        if (reader->NextRow().isEmpty())
            break;
        ++rows;
        const double u = rng.Unit();
        if (u < drop) {
            ++dropped;
            continue;
        }
        offsets.push_back(offset);
        fate.push_back(u < drop + change ? 'c' : 'k');
        if (fate.back() == 'c')
            ++changed;
    }
    if (rows == 0) {
        std::fprintf(stderr, "feedgen: %s holds no rows\n", qPrintable(feedPath));
        return 1;
    }
    const qint64 added = qint64(std::llround(double(rows) * add));

    // The order in which the base's rows are written: the site lists its
    // goods in its own order, unrelated to the feed's, unless --keep-order.
    // Entries below zero stand for new rows.
    std::vector<qint64> order(offsets.size() + size_t(added));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i < offsets.size() ? qint64(i) : -1 - qint64(i - offsets.size());
    if (!keepOrder) {
        for (size_t i = order.size(); i > 1; --i)
            std::swap(order[i - 1], order[rng.Below(quint32(i))]);
    }

    std::unique_ptr<IWriter> writer(CreateCsvWriter(out));
    if (!writer) {
        std::fprintf(stderr, "feedgen: cannot write %s\n", qPrintable(out));
        return 1;
    }
    writer->WriteHeader(header);
    for (const qint64 entry : order) {
        QStringList row;
        if (entry >= 0) {
            row = reader->RowAt(offsets[size_t(entry)]);
            if (fate[size_t(entry)] == 'c')
                row[priceColumn] = RaisedPrice(row.at(priceColumn), rng);
        } else {
            // A good that the site holds and the feed no longer has: a copy
            // of some row under a link and id of its own.
            const qint64 k = -1 - entry;
            row = reader->RowAt(offsets[rng.Below(quint32(offsets.size()))]);
            row[urlColumn] = row.at(urlColumn) + QStringLiteral("&subid=base") + QString::number(k);
            if (idColumn >= 0)
                row[idColumn] = QString::number(900000000 + k);
        }
        writer->WriteRow(row);
    }
    if (!writer->Close()) {
        std::fprintf(stderr, "feedgen: writing %s failed\n", qPrintable(out));
        return 1;
    }
    writer.reset();

    const qint64 unchanged = qint64(offsets.size()) - changed;
    Bench::Say(QStringLiteral("feedgen: base of %1 rows from %2 feed rows: %3 unchanged, %4 dropped (stay Added), "
                              "%5 with another price (become Changed), %6 new (become Deleted), %7 order, %8 s -> %9")
                       .arg(qint64(order.size()))
                       .arg(rows)
                       .arg(unchanged)
                       .arg(dropped)
                       .arg(changed)
                       .arg(added)
                       .arg(keepOrder ? QStringLiteral("feed") : QStringLiteral("shuffled"))
                       .arg(Bench::Seconds(timer), 0, 'f', 1)
                       .arg(out));
    Bench::Figure("base_unchanged", double(unchanged));
    Bench::Figure("base_dropped", double(dropped));
    Bench::Figure("base_changed", double(changed));
    Bench::Figure("base_added", double(added));
    return 0;
}


// ---------------------------------------------------------------------------
// YML catalogue: the same goods as a yml_catalog document

// Escapes text for element content or a double-quoted attribute.
void AppendEscaped(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
}

void AppendElement(QByteArray &out, const char *name, const QString &text)
{
    out += "  <";
    out += name;
    out += '>';
    AppendEscaped(out, text);
    out += "</";
    out += name;
    out += ">\n";
}

int GenerateYml(const QCommandLineParser &args)
{
    const qint64 rows = args.value(QStringLiteral("rows")).toLongLong();
    const int categories = args.value(QStringLiteral("categories")).toInt();
    const quint64 seed = args.value(QStringLiteral("seed")).toULongLong();
    const QString out = args.value(QStringLiteral("out"));
    if (rows <= 0 || categories <= 0 || out.isEmpty()) {
        std::fprintf(stderr, "feedgen: need --rows N > 0, --categories N > 0 and --out FILE\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const FeedGenerator gen(seed, categories, false);
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "feedgen: cannot write %s\n", qPrintable(out));
        return 1;
    }
    QByteArray buffer;
    buffer.reserve(8 << 20);
    bool failed = false;
    const auto flush = [&](bool always) {
        if (!always && buffer.size() < (4 << 20))
            return;
        failed = failed || file.write(buffer) != buffer.size();
        buffer.clear();
    };

    buffer += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE yml_catalog SYSTEM \"shops.dtd\">\n"
              "<yml_catalog date=\"2024-03-01 10:00\">\n<shop>\n<name>Сводный магазин</name>\n"
              "<company>ООО «Сводный магазин»</company>\n<url>https://www.shop.example/</url>\n"
              "<currencies>\n  <currency id=\"RUB\" rate=\"1\"/>\n</currencies>\n<categories>\n";
    // Every level of the generated paths is a category of its own, with a
    // long numeric id as real shops give them; the leaves are the goods'.
    QHash<QString, QByteArray> ids;
    std::vector<QByteArray> leafIds(size_t(gen.CategoryCount()));
    for (int i = 0; i < gen.CategoryCount(); ++i) {
        const QStringList parts = gen.CategoryAt(i).path.split(QLatin1Char('/'));
        QString prefix;
        QByteArray parent;
        for (const QString &part : parts) {
            prefix += (prefix.isEmpty() ? QString() : QStringLiteral("/")) + part;
            QByteArray id = ids.value(prefix);
            if (id.isEmpty()) {
                id = QByteArray::number(Q_UINT64_C(100000000000000000) + quint64(ids.size()) * 7919);
                ids.insert(prefix, id);
                buffer += "  <category id=\"" + id + '"';
                if (!parent.isEmpty())
                    buffer += " parentId=\"" + parent + '"';
                buffer += '>';
                AppendEscaped(buffer, part);
                buffer += "</category>\n";
            }
            parent = id;
        }
        leafIds[size_t(i)] = parent;
    }
    buffer += "</categories>\n<delivery-options>\n  <option cost=\"300\" days=\"1-3\"/>\n</delivery-options>\n"
              "<offers>\n";

    Random rowRng(Random::Mix(seed, 3));
    qint64 typed = 0;
    for (qint64 r = 0; r < rows; ++r) {
        const Product p = gen.MakeProduct(r);
        const bool isTyped = rowRng.Chance(0.3);
        typed += isTyped ? 1 : 0;
        buffer += "<offer id=\"" + QByteArray::number(100000 + r) + '"';
        if (isTyped)
            buffer += " type=\"vendor.model\"";
        buffer += rowRng.Chance(0.9) ? " available=\"true\"" : " available=\"false\"";
        if (rowRng.Chance(0.2))
            buffer += " group_id=\"" + QByteArray::number(500000 + r / 4) + '"';
        buffer += ">\n";
        AppendElement(buffer, "url", p.url);
        AppendElement(buffer, "price", p.price);
        if (!p.oldPrice.isEmpty())
            AppendElement(buffer, "oldprice", p.oldPrice);
        buffer += "  <currencyId>RUB</currencyId>\n  <categoryId>" + leafIds[size_t(p.category)] + "</categoryId>\n";
        const QStringList pictures = p.picture.split(QLatin1Char(' '));
        for (const QString &picture : pictures)
            AppendElement(buffer, "picture", picture);
        buffer += "  <delivery>true</delivery>\n";
        if (isTyped) {
            AppendElement(buffer, "typePrefix", p.typePrefix);
            AppendElement(buffer, "vendor", p.vendor);
            AppendElement(buffer, "model", p.vendorCode);
        } else {
            AppendElement(buffer, "name", p.name);
            AppendElement(buffer, "vendor", p.vendor);
        }
        AppendElement(buffer, "vendorCode", p.vendorCode);
        if (p.description.startsWith(QLatin1Char('<')))
            buffer += "  <description><![CDATA[" + p.description.toUtf8() + "]]></description>\n";
        else
            AppendElement(buffer, "description", p.description);
        AppendElement(buffer, "country_of_origin", p.country);
        buffer += "  <barcode>" + QByteArray::number(4600000000000LL + r) + "</barcode>\n";
        if (!p.param.isEmpty()) {
            const QStringList params = p.param.split(QLatin1Char('|'));
            for (const QString &param : params) {
                const int colon = param.indexOf(QLatin1Char(':'));
                const QString name = param.left(colon);
                buffer += "  <param name=\"";
                AppendEscaped(buffer, name);
                buffer += name == QStringLiteral("Размер") ? "\" unit=\"RU\">" : "\">";
                AppendEscaped(buffer, param.mid(colon + 1));
                buffer += "</param>\n";
            }
        }
        buffer += "</offer>\n";
        flush(false);
    }
    buffer += "</offers>\n</shop>\n</yml_catalog>\n";
    flush(true);
    file.close();
    if (failed || file.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "feedgen: writing %s failed\n", qPrintable(out));
        return 1;
    }
    const qint64 bytes = QFileInfo(out).size();
    Bench::Say(QStringLiteral("feedgen: YML catalogue of %1 offers (%2 typed) in %3 leaf categories (%4 in all), "
                              "%5 bytes (%6 bytes an offer) in %7 s -> %8")
                       .arg(rows)
                       .arg(typed)
                       .arg(gen.CategoryCount())
                       .arg(ids.size())
                       .arg(bytes)
                       .arg(double(bytes) / double(rows), 0, 'f', 1)
                       .arg(Bench::Seconds(timer), 0, 'f', 1)
                       .arg(out));
    Bench::Figure("rows", double(rows));
    Bench::Figure("bytes", double(bytes));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Generates affiliate feeds, or a base derived from a feed."));
    args.addHelpOption();
    args.addOptions({
        {QStringLiteral("rows"), QStringLiteral("Number of rows."), QStringLiteral("N"), QStringLiteral("1000000")},
        {QStringLiteral("categories"), QStringLiteral("Distinct leaf categories."), QStringLiteral("N"), QStringLiteral("2000")},
        {QStringLiteral("duplicates"), QStringLiteral("Fraction of rows repeating an earlier row's url."), QStringLiteral("F"), QStringLiteral("0")},
        {QStringLiteral("one-category"), QStringLiteral("Every row in one category.")},
        {QStringLiteral("no-offer-column"), QStringLiteral("Leave out advcampaign_id and advcampaign_name.")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the generator."), QStringLiteral("S"), QStringLiteral("1")},
        {QStringLiteral("out"), QStringLiteral("Output file."), QStringLiteral("FILE")},
        {QStringLiteral("base-from"), QStringLiteral("Derive a base from this feed."), QStringLiteral("FEED")},
        {QStringLiteral("drop"), QStringLiteral("Base: fraction of feed rows left out."), QStringLiteral("F"), QStringLiteral("0.05")},
        {QStringLiteral("change"), QStringLiteral("Base: fraction of feed rows with another price."), QStringLiteral("F"), QStringLiteral("0.05")},
        {QStringLiteral("add"), QStringLiteral("Base: new rows, as a fraction of the feed's rows."), QStringLiteral("F"), QStringLiteral("0.02")},
        {QStringLiteral("keep-order"), QStringLiteral("Base: keep the feed's row order.")},
        {QStringLiteral("yml"), QStringLiteral("Write the goods as a YML catalogue (yml_catalog XML).")},
    });
    args.process(app);
    if (args.isSet(QStringLiteral("base-from")))
        return DeriveBase(args);
    if (args.isSet(QStringLiteral("yml")))
        return GenerateYml(args);
    return Generate(args);
}
