#!/usr/bin/env python3
"""Writes the example files of fidmora-cli into this folder.

feed.csv  - a fresh feed of three shops, 300 goods in several categories;
base.csv  - what the site holds: the same feed 20 goods short, 25 goods with
            other prices and 15 goods the shops no longer sell;
shop.fdm  - a project with the three offers, one category rule each for two
            of them and an empty goods filter.

The output is fixed (a seeded generator), so running the script again gives
the same files.  Run:  python3 examples/make_examples.py
"""

import csv
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
COLUMNS = ["id", "name", "price", "oldprice", "categoryId", "vendor", "picture", "url",
           "description", "advcampaign_name"]

SHOPS = [
    ("Уютный дом", "https://uyutny-dom.example", {
        "Кухня/Посуда": ["Сковорода", "Кастрюля", "Набор ножей", "Чайник"],
        "Кухня/Текстиль": ["Фартук", "Полотенце кухонное", "Прихватка"],
        "Спальня/Постельное бельё": ["Комплект белья", "Простыня", "Пододеяльник"],
        "Спальня/Подушки": ["Подушка", "Подушка ортопедическая"],
        "Декор": ["Ваза", "Свеча ароматическая", "Рамка для фото"],
    }, ["Домовита", "Теплый очаг", "Linea"]),
    ("Спорт-Плюс", "https://sport-plus.example", {
        "Бег/Кроссовки": ["Кроссовки беговые", "Кроссовки трейловые"],
        "Бег/Одежда": ["Футболка беговая", "Тайтсы", "Ветровка"],
        "Туризм/Палатки": ["Палатка двухместная", "Палатка трёхместная"],
        "Туризм/Рюкзаки": ["Рюкзак 30 л", "Рюкзак 60 л"],
        "Распродажа": ["Мяч футбольный", "Скакалка", "Гантели"],
    }, ["Стайер", "Вершина", "Runline"]),
    ("Техномир", "https://tehnomir.example", {
        "Смартфоны": ["Смартфон", "Смартфон с NFC"],
        "Ноутбуки": ["Ноутбук 14\"", "Ноутбук 15,6\""],
        "Аксессуары/Чехлы": ["Чехол-книжка", "Чехол силиконовый"],
        "Аксессуары/Зарядные устройства": ["Зарядное устройство", "Кабель USB-C"],
    }, ["Орбита", "Nordtech", "Вектор"]),
]
PER_SHOP = 100
PRICES = {"Кухня": 900, "Спальня": 1500, "Декор": 600, "Бег": 3500, "Туризм": 7000,
          "Распродажа": 700, "Смартфоны": 25000, "Ноутбуки": 60000, "Аксессуары": 800}
DROPPED, CHANGED, GONE = 20, 25, 15


def make_row(rng, shop, site, categories, vendors, number):
    category = rng.choice(sorted(categories))
    kind = rng.choice(categories[category])
    vendor = rng.choice(vendors)
    price = int(PRICES[category.split("/")[0]] * rng.uniform(0.5, 2.0)) // 10 * 10 + 9
    oldprice = str(price + rng.choice([100, 300, 500, 1000])) if rng.random() < 0.3 else ""
    description = f"{kind} {vendor}, артикул {number}."
    if rng.random() < 0.1:
        # Some descriptions hold the separator and quotes, as real ones do.
        description += f' Цвет: "{rng.choice(["серый", "синий", "белый"])}"; гарантия 1 год.'
    return {
        "id": str(number),
        "name": f"{kind} {vendor} {number % 1000:03d}",
        "price": str(price),
        "oldprice": oldprice,
        "categoryId": category,
        "vendor": vendor,
        "picture": f"{site}/images/{number}.jpg",
        "url": f"{site}/product/{number}",
        "description": description,
        "advcampaign_name": shop,
    }


def write_csv(name, rows):
    with open(os.path.join(HERE, name), "w", encoding="utf-8", newline="") as out:
        writer = csv.DictWriter(out, COLUMNS, delimiter=";", lineterminator="\r\n")
        writer.writeheader()
        writer.writerows(rows)


def write_project(name):
    offers = []
    for shop, site, _, _ in SHOPS:
        rules = ""
        if shop == "Уютный дом":
            rules = ('            <!-- rename: from -> to, merge subcategories -->\n'
                     '            <rename>\n'
                     '                <category from="Спальня" to="Товары для сна" merge="false"/>\n'
                     '            </rename>\n')
        elif shop == "Спорт-Плюс":
            rules = ('            <!-- exclude -->\n'
                     '            <exclude>\n'
                     '                <category name="Распродажа"/>\n'
                     '            </exclude>\n')
        offers.append(f'        <offer url="{site}" prefix="" name="{shop}">\n'
                      '            <export autoload="false" format=""><![CDATA[]]></export>\n'
                      f'{rules}'
                      '            <!-- include or exclude -->\n'
                      '            <other action="include"/>\n'
                      '        </offer>\n')
    text = ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<settings>\n'
            '    <options>\n'
            '        <filter>\n'
            '            <discount val="false"/>\n'
            '            <price>\n'
            '                <high val="-1"/>\n'
            '                <low val="-1"/>\n'
            '            </price>\n'
            '            <search val=""/>\n'
            '        </filter>\n'
            '    </options>\n'
            '    <offers>\n'
            + "".join(offers) +
            '    </offers>\n'
            '</settings>\n')
    with open(os.path.join(HERE, name), "w", encoding="utf-8", newline="\n") as out:
        out.write(text)


def main():
    rng = random.Random(2024)
    feed = []
    number = 100000
    for shop, site, categories, vendors in SHOPS:
        for _ in range(PER_SHOP):
            number += rng.randint(1, 40)
            feed.append(make_row(rng, shop, site, categories, vendors, number))

    # The base differs only in goods that the project's rules keep, so that
    # the summary shows exactly these numbers.
    kept = [i for i, row in enumerate(feed) if row["categoryId"] != "Распродажа"]
    picked = rng.sample(kept, DROPPED + CHANGED)
    dropped, changed = set(picked[:DROPPED]), set(picked[DROPPED:])
    base = []
    for i, row in enumerate(feed):
        if i in dropped:
            continue
        row = dict(row)
        if i in changed:
            row["price"] = str(int(row["price"]) + rng.choice([-200, -100, 100, 250]))
        base.append(row)
    for shop, site, categories, vendors in SHOPS:
        allowed = {k: v for k, v in categories.items() if k != "Распродажа"}
        for _ in range(GONE // len(SHOPS)):
            number += rng.randint(1, 40)
            base.insert(rng.randrange(len(base) + 1), make_row(rng, shop, site, allowed, vendors, number))

    write_csv("feed.csv", feed)
    write_csv("base.csv", base)
    write_project("shop.fdm")


if __name__ == "__main__":
    main()
