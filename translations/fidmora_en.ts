<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>ChooseCatDelegate::ChooseCatWidget</name>
    <message>
        <source>Выбор категории</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нет категорий для этого оффера. Возможно он ещё не загружен.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChooseCategoryDialog</name>
    <message>
        <source>Выберите катагорию</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбрать категорию и все подкатегории</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбрать только категорию</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбрать только подкатегории</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <source>Шаг %1 из %2: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>причина неизвестна</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка: шаг %1 из %2 «%3» не выполнен: %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Прервано по Ctrl+C</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось записать файл проекта %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>оффер «%1» (%2): %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось записать файл %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось создать папку %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ФАЙЛ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>открыть проект: всё очищается, читаются офферы с правилами и фильтр</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>добавить файл с данными (CSV или dc_catalog)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>добавить файл с базой (CSV или dc_catalog)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>загрузить файл с данными по адресу</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>загрузить файл с базой по адресу</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>загрузить CSV всех офферов, до первой ошибки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>удалить дубли</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a,b,c</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>колонки для следующих сохранений (по умолчанию все колонки товаров)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>сохранить всё в один файл с учётом фильтра</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ПАПКА</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>сохранить по категориям с учётом фильтра (папка создаётся)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>сохранить проект вместе с фильтром</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>вывести итоги: источники, офферы, категории, товары и их состояния</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Параметр %1 не принимает значения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Лишний аргумент «%1»: шаги начинаются с «--»</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Неизвестный параметр %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Параметру %1 нужно значение: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не задано ни одного шага</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Справка: fidmora-cli --help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Использование: fidmora-cli [ПАРАМЕТРЫ] ШАГ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Обновляет каталог Fidmora без окна: шаги выполняются по порядку, каждый над каталогом,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>который оставили предыдущие.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Шаги:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Параметры:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>не показывать ход работы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>показать эту справку</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>показать версию</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Итоги (--summary) выводятся строками «sources N», «offers N», «categories N», «goods N»,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>«added N», «changed N», «deleted N»; все, кроме первых двух, считают товары,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>прошедшие фильтр.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ход работы выводится в поток ошибок; Ctrl+C отменяет текущий шаг.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Коды завершения: 0 — все шаги выполнены, 1 — шаг не выполнен, 2 — ошибка в параметрах,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>130 — прервано (Ctrl+C).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пример: обновлять изменения для сайта каждые 4 часа (строка crontab):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена: текущий шаг остановится, как только сможет. Повторное Ctrl+C прервёт работу сразу.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DcCatalogConverter</name>
    <message>
        <source>Обработка dc_catalog</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DuplicateRemover</name>
    <message>
        <source>Удаление дублей. Обработано %1 товаров</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EditOfferDialog</name>
    <message>
        <source>Информация об оффере</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Имя оффера:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ссылка для загрузки:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Префикс файла:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Доменное имя:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Настройка категорий</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Остальные категории:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Создание нового оффера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Оставлять</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удалять</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Имя оффера не может быть пустым</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Действия</source>
        <translation type="unfinished">Actions</translation>
    </message>
    <message>
        <source>Удалить категорию</source>
        <translation type="unfinished">Delete the category</translation>
    </message>
    <message>
        <source>Добавить категорию</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Редактирование оффера %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExportOptionsDialog</name>
    <message>
        <source>Настройки сохранения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выберите поля</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FeedDownload</name>
    <message>
        <source>Загрузка %1 отменена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сервер ответил %1 %2 на запрос %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось загрузить %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка %1 прервана: получено %2 из %3 байт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка файла %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FeedLoader</name>
    <message>
        <source>Загрузка %1 отменена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выполнено</source>
        <translation type="unfinished">Done</translation>
    </message>
    <message>
        <source>Разные офферы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Старт загрузки %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка %1: загружено %2 товаров.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FiltersLabel</name>
    <message>
        <source>Фильтры: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#choosePrice&quot;&gt;Цена с %1 до %2&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#choosePrice&quot;&gt;Любая цена&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#chooseVendor&quot;&gt;Любой производитель&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#chooseVendor&quot;&gt;Выбраны некоторые производители&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Только если есть скидка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#chooseOldPrice&quot;&gt;Неважно есть скидка или нет&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбор производителя</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выберите список производителей, которые должны присутствовать в выборке</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#chooseVendor&quot;&gt;Производители: %1&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Good</name>
    <message>
        <source>Добавлен</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Изменён</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удалён</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GoodPropsView</name>
    <message>
        <source>Свойство</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Значение</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GoodViewDialog</name>
    <message>
        <source>Просмотр товара</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GoodWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Название</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Набор инструментов</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Цена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Старая цена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1200</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Категория</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Инструменты/Наборы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Производитель</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Источник</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Магазин</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>12345 ([i])</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Статус</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Добавлен</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GoodsWriter</name>
    <message>
        <source>Сохранение %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранено %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>IncludeCatViewModel</name>
    <message>
        <source>Оставить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Эта категория уже есть в списке</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Товары</source>
        <translation>Goods</translation>
    </message>
    <message>
        <source>Результаты</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>Фильтры</source>
        <translation>Filters</translation>
    </message>
    <message>
        <source>Категорий: 0. Товаров: 0</source>
        <translation>Categories: 0. Goods: 0</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Вид</source>
        <translation>View</translation>
    </message>
    <message>
        <source>Офферы</source>
        <translation>Offers</translation>
    </message>
    <message>
        <source>Импорт</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>CSV</source>
        <translation>CSV</translation>
    </message>
    <message>
        <source>Импорт базы</source>
        <translation>Import base</translation>
    </message>
    <message>
        <source>Трансформации</source>
        <translation>Transformations</translation>
    </message>
    <message>
        <source>Файлы</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>Категории</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>Новый проект</source>
        <translation>New project</translation>
    </message>
    <message>
        <source>Открыть проект</source>
        <translation>Open project</translation>
    </message>
    <message>
        <source>Сохранить проект</source>
        <translation>Save project</translation>
    </message>
    <message>
        <source>Удалить загруженные данные</source>
        <translation>Delete loaded data</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Загрузить CSV всех офферов</source>
        <translation>Load CSV of all offers</translation>
    </message>
    <message>
        <source>Загрузить офферов из Admitad</source>
        <translation>Load offers from Admitad</translation>
    </message>
    <message>
        <source>Удалить неиспользуемых офферов</source>
        <translation>Delete unused offers</translation>
    </message>
    <message>
        <source>Сохранить офферов</source>
        <translation>Save offers</translation>
    </message>
    <message>
        <source>Добавить CSV</source>
        <translation>Add CSV</translation>
    </message>
    <message>
        <source>Добавить URL</source>
        <translation>Add URL</translation>
    </message>
    <message>
        <source>Modx с Fidmora</source>
        <translation>MODX with Fidmora</translation>
    </message>
    <message>
        <source>Сохранить CSV</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>Сохранить CSV по категориям</source>
        <translation>Save CSV by categories</translation>
    </message>
    <message>
        <source>FTP</source>
        <translation>FTP</translation>
    </message>
    <message>
        <source>Из CSV файла</source>
        <translation>From a CSV file</translation>
    </message>
    <message>
        <source>По URL</source>
        <translation>By URL</translation>
    </message>
    <message>
        <source>Удалить дубли</source>
        <translation>Remove duplicates</translation>
    </message>
    <message>
        <source>Выполнено</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Выполнено с ошибкой</source>
        <translation>Done with an error</translation>
    </message>
    <message>
        <source>Составление списка офферов...</source>
        <translation>Listing the offers...</translation>
    </message>
    <message>
        <source>Составление списка источников...</source>
        <translation>Listing the sources...</translation>
    </message>
    <message>
        <source>Составление дерева категорий...</source>
        <translation>Building the category tree...</translation>
    </message>
    <message>
        <source>Составление списка товаров...</source>
        <translation>Listing the goods...</translation>
    </message>
    <message>
        <source>Добавить файлы</source>
        <translation>Add files</translation>
    </message>
    <message>
        <source>Файл c данными</source>
        <translation>Data file</translation>
    </message>
    <message>
        <source>Добавить файлы с базами</source>
        <translation>Add base files</translation>
    </message>
    <message>
        <source>Введите URL файла</source>
        <translation>Enter the file URL</translation>
    </message>
    <message>
        <source>Сохранить всё в один файл</source>
        <translation>Save everything to one file</translation>
    </message>
    <message>
        <source>Сохранить по категориям</source>
        <translation>Save by categories</translation>
    </message>
    <message>
        <source>Новые правила оффера применятся, когда его файл загрузят снова</source>
        <translation>The offer&apos;s new rules apply when its file is loaded again</translation>
    </message>
    <message>
        <source>Действия</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>Загрузить CSV оффера</source>
        <translation>Load the offer&apos;s CSV</translation>
    </message>
    <message>
        <source>Выгрузить товары оффера</source>
        <translation>Unload the offer&apos;s goods</translation>
    </message>
    <message>
        <source>Редактировать оффера</source>
        <translation>Edit the offer</translation>
    </message>
    <message>
        <source>Удалить оффера</source>
        <translation>Delete the offer</translation>
    </message>
    <message>
        <source>Сделать реальной</source>
        <translation>Make real</translation>
    </message>
    <message>
        <source>Сделать призрачной</source>
        <translation>Make ghost</translation>
    </message>
    <message>
        <source>Удалить категорию</source>
        <translation>Delete the category</translation>
    </message>
    <message>
        <source>Файл проекта Fidmora</source>
        <translation>Fidmora project file</translation>
    </message>
    <message>
        <source>Не удалось сохранить проект в файл %1</source>
        <translation>Could not save the project to %1</translation>
    </message>
    <message>
        <source>Язык интерфейса</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Русский</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Английский</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выполнено с ошибкой: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Новый язык интерфейса появится при следующем запуске Fidmora.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Категорий: %1. Товаров: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Model</name>
    <message>
        <source>Файл %1 не найден</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось прочитать файл %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В файле %1 нет заголовка: первая строка пуста</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удаление дублей отменено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сохранение отменено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось создать файл %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка %1 отменена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удаление старых данных</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Операция отменена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Удаление оффера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка файла %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PriceDialog</name>
    <message>
        <source>Выберите цену</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>от</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>до</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(доступные значения от %1 до %2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProgressDialog</name>
    <message>
        <source>Обработка...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Идёт обработка...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProjectFile</name>
    <message>
        <source>Файл проекта %1 не найден</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось прочитать файл проекта %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Файл проекта %1 повреждён: слишком глубокая вложенность элементов</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Файл проекта %1 повреждён: %2 (строка %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Файл %1 не является проектом Fidmora</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QWidget</name>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ReplaceCatViewModel</name>
    <message>
        <source>Категория оффера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Переименованная категория</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Объединить подкатегории</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
