<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="ru_RU">
<context>
    <name>ChooseCatDelegate::ChooseCatWidget</name>
    <message>
        <source>Нет категорий для этого оффера. Возможно он ещё не загружен.</source>
        <translation>Нет категорий для этого оффера. Возможно, он ещё не загружен.</translation>
    </message>
</context>
<context>
    <name>ChooseCategoryDialog</name>
    <message>
        <source>Выберите катагорию</source>
        <translation>Выберите категорию</translation>
    </message>
</context>
<context>
    <name>FiltersLabel</name>
    <message>
        <source>&lt;a href=&quot;#chooseOldPrice&quot;&gt;Неважно есть скидка или нет&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#chooseOldPrice&quot;&gt;Неважно, есть скидка или нет&lt;/a&gt;</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Загрузить офферов &amp;из Admitad</source>
        <translation>Загрузить офферы &amp;из Admitad</translation>
    </message>
    <message>
        <source>Удалить &amp;неиспользуемых офферов</source>
        <translation>Удалить &amp;неиспользуемые офферы</translation>
    </message>
    <message>
        <source>&amp;Сохранить офферов</source>
        <translation>&amp;Сохранить офферы</translation>
    </message>
    <message>
        <source>&amp;Редактировать оффера</source>
        <translation>&amp;Редактировать оффер</translation>
    </message>
    <message>
        <source>&amp;Удалить оффера</source>
        <translation>&amp;Удалить оффер</translation>
    </message>
    <message>
        <source>Файл c данными</source>
        <translation>Файл с данными</translation>
    </message>
</context>
</TS>
