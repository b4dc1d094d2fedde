<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>ChooseCatDelegate::ChooseCatWidget</name>
    <message>
        <source>Выбор категории</source>
        <translation>Choose a category</translation>
    </message>
    <message>
        <source>Нет категорий для этого оффера. Возможно он ещё не загружен.</source>
        <translation>This offer has no categories. Perhaps its feed is not loaded yet.</translation>
    </message>
</context>
<context>
    <name>ChooseCategoryDialog</name>
    <message>
        <source>Выберите катагорию</source>
        <translation>Choose a category</translation>
    </message>
    <message>
        <source>Выбрать категорию и все подкатегории</source>
        <translation>The category and all its subcategories</translation>
    </message>
    <message>
        <source>Выбрать только категорию</source>
        <translation>The category only</translation>
    </message>
    <message>
        <source>Выбрать только подкатегории</source>
        <translation>Its subcategories only</translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <source>Шаг %1 из %2: %3</source>
        <translation>Step %1 of %2: %3</translation>
    </message>
    <message>
        <source>причина неизвестна</source>
        <translation>reason unknown</translation>
    </message>
    <message>
        <source>Ошибка: шаг %1 из %2 «%3» не выполнен: %4</source>
        <translation>Error: step %1 of %2 &quot;%3&quot; failed: %4</translation>
    </message>
    <message>
        <source>Прервано по Ctrl+C</source>
        <translation>Interrupted by Ctrl+C</translation>
    </message>
    <message>
        <source>Не удалось записать файл проекта %1</source>
        <translation>Could not write the project file %1</translation>
    </message>
    <message>
        <source>оффер «%1» (%2): %3</source>
        <translation>offer &quot;%1&quot; (%2): %3</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1: %2</source>
        <translation>Could not write the file %1: %2</translation>
    </message>
    <message>
        <source>Не удалось создать папку %1</source>
        <translation>Could not create the folder %1</translation>
    </message>
    <message>
        <source>ФАЙЛ</source>
        <translation>FILE</translation>
    </message>
    <message>
        <source>открыть проект: всё очищается, читаются офферы с правилами и фильтр</source>
        <translation>open a project: clears everything, reads the offers with their rules and the filter</translation>
    </message>
    <message>
        <source>добавить файл с данными (CSV или dc_catalog)</source>
        <translation>add a data file (CSV or dc_catalog)</translation>
    </message>
    <message>
        <source>добавить файл с базой (CSV или dc_catalog)</source>
        <translation>add a base file (CSV or dc_catalog)</translation>
    </message>
    <message>
        <source>URL</source>
        <translation>URL</translation>
    </message>
    <message>
        <source>загрузить файл с данными по адресу</source>
        <translation>download a data file from an address</translation>
    </message>
    <message>
        <source>загрузить файл с базой по адресу</source>
        <translation>download a base file from an address</translation>
    </message>
    <message>
        <source>загрузить CSV всех офферов, до первой ошибки</source>
        <translation>load every offer&apos;s CSV, up to the first failure</translation>
    </message>
    <message>
        <source>удалить дубли</source>
        <translation>remove duplicates</translation>
    </message>
    <message>
        <source>a,b,c</source>
        <translation>a,b,c</translation>
    </message>
    <message>
        <source>колонки для следующих сохранений (по умолчанию все колонки товаров)</source>
        <translation>columns of the saves that follow (by default all the goods&apos; columns)</translation>
    </message>
    <message>
        <source>сохранить всё в один файл с учётом фильтра</source>
        <translation>save the goods that pass the filter to one file</translation>
    </message>
    <message>
        <source>ПАПКА</source>
        <translation>FOLDER</translation>
    </message>
    <message>
        <source>сохранить по категориям с учётом фильтра (папка создаётся)</source>
        <translation>save one file per category, with the filter (the folder is created)</translation>
    </message>
    <message>
        <source>сохранить проект вместе с фильтром</source>
        <translation>save the project with the filter</translation>
    </message>
    <message>
        <source>вывести итоги: источники, офферы, категории, товары и их состояния</source>
        <translation>print a summary: sources, offers, categories, goods and their statuses</translation>
    </message>
    <message>
        <source>Параметр %1 не принимает значения</source>
        <translation>Option %1 takes no value</translation>
    </message>
    <message>
        <source>Лишний аргумент «%1»: шаги начинаются с «--»</source>
        <translation>Unexpected argument &quot;%1&quot;: steps begin with &quot;--&quot;</translation>
    </message>
    <message>
        <source>Неизвестный параметр %1</source>
        <translation>Unknown option %1</translation>
    </message>
    <message>
        <source>Параметру %1 нужно значение: %2</source>
        <translation>Option %1 needs a value: %2</translation>
    </message>
    <message>
        <source>Не задано ни одного шага</source>
        <translation>No steps given</translation>
    </message>
    <message>
        <source>Справка: fidmora-cli --help</source>
        <translation>Help: fidmora-cli --help</translation>
    </message>
    <message>
        <source>Использование: fidmora-cli [ПАРАМЕТРЫ] ШАГ...</source>
        <translation>Usage: fidmora-cli [OPTIONS] STEP...</translation>
    </message>
    <message>
        <source>Обновляет каталог Fidmora без окна: шаги выполняются по порядку, каждый над каталогом,</source>
        <translation>Updates the Fidmora catalogue without a window: the steps run in order, each on the catalogue</translation>
    </message>
    <message>
        <source>который оставили предыдущие.</source>
        <translation>left by the ones before.</translation>
    </message>
    <message>
        <source>Шаги:</source>
        <translation>Steps:</translation>
    </message>
    <message>
        <source>Параметры:</source>
        <translation>Options:</translation>
    </message>
    <message>
        <source>не показывать ход работы</source>
        <translation>do not show the progress</translation>
    </message>
    <message>
        <source>показать эту справку</source>
        <translation>show this help</translation>
    </message>
    <message>
        <source>показать версию</source>
        <translation>show the version</translation>
    </message>
    <message>
        <source>Итоги (--summary) выводятся строками «sources N», «offers N», «categories N», «goods N»,</source>
        <translation>The summary (--summary) is printed as the lines &quot;sources N&quot;, &quot;offers N&quot;, &quot;categories N&quot;, &quot;goods N&quot;,</translation>
    </message>
    <message>
        <source>«added N», «changed N», «deleted N»; все, кроме первых двух, считают товары,</source>
        <translation>&quot;added N&quot;, &quot;changed N&quot;, &quot;deleted N&quot;; all but the first two count the goods</translation>
    </message>
    <message>
        <source>прошедшие фильтр.</source>
        <translation>that pass the filter.</translation>
    </message>
    <message>
        <source>Ход работы выводится в поток ошибок; Ctrl+C отменяет текущий шаг.</source>
        <translation>Progress goes to standard error; Ctrl+C cancels the current step.</translation>
    </message>
    <message>
        <source>Коды завершения: 0 — все шаги выполнены, 1 — шаг не выполнен, 2 — ошибка в параметрах,</source>
        <translation>Exit codes: 0 — every step succeeded, 1 — a step failed, 2 — wrong options,</translation>
    </message>
    <message>
        <source>130 — прервано (Ctrl+C).</source>
        <translation>130 — interrupted (Ctrl+C).</translation>
    </message>
    <message>
        <source>Пример: обновлять изменения для сайта каждые 4 часа (строка crontab):</source>
        <translation>Example: refresh the changes for the site every 4 hours (a crontab line):</translation>
    </message>
    <message>
        <source>Отмена: текущий шаг остановится, как только сможет. Повторное Ctrl+C прервёт работу сразу.</source>
        <translation>Cancelling: the current step stops as soon as it can. Press Ctrl+C again to stop at once.</translation>
    </message>
</context>
<context>
    <name>DcCatalogConverter</name>
    <message>
        <source>Обработка dc_catalog</source>
        <translation>Converting the dc_catalog file</translation>
    </message>
</context>
<context>
    <name>DuplicateRemover</name>
    <message>
        <source>Удаление дублей. Обработано %1 товаров</source>
        <translation>Removing duplicates. Goods checked: %1</translation>
    </message>
</context>
<context>
    <name>EditOfferDialog</name>
    <message>
        <source>Информация об оффере</source>
        <translation>Offer details</translation>
    </message>
    <message>
        <source>Имя оффера:</source>
        <translation>Offer name:</translation>
    </message>
    <message>
        <source>Ссылка для загрузки:</source>
        <translation>Feed address:</translation>
    </message>
    <message>
        <source>Префикс файла:</source>
        <translation>File prefix:</translation>
    </message>
    <message>
        <source>Доменное имя:</source>
        <translation>Domain name:</translation>
    </message>
    <message>
        <source>Настройка категорий</source>
        <translation>Category rules</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Остальные категории:</source>
        <translation>Other categories:</translation>
    </message>
    <message>
        <source>Создание нового оффера</source>
        <translation>New offer</translation>
    </message>
    <message>
        <source>Оставлять</source>
        <translation>Keep</translation>
    </message>
    <message>
        <source>Удалять</source>
        <translation>Drop</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Имя оффера не может быть пустым</source>
        <translation>The offer name cannot be empty</translation>
    </message>
    <message>
        <source>Действия</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>Удалить категорию</source>
        <translation>Remove the category</translation>
    </message>
    <message>
        <source>Добавить категорию</source>
        <translation>Add a category</translation>
    </message>
    <message>
        <source>Редактирование оффера %1</source>
        <translation>Edit offer %1</translation>
    </message>
</context>
<context>
    <name>ExportOptionsDialog</name>
    <message>
        <source>Настройки сохранения</source>
        <translation>Export options</translation>
    </message>
    <message>
        <source>Выберите поля</source>
        <translation>Choose the columns</translation>
    </message>
</context>
<context>
    <name>FeedDownload</name>
    <message>
        <source>Загрузка %1 отменена</source>
        <translation>Download of %1 cancelled</translation>
    </message>
    <message>
        <source>Сервер ответил %1 %2 на запрос %3</source>
        <translation>The server answered %1 %2 to the request for %3</translation>
    </message>
    <message>
        <source>Не удалось загрузить %1: %2</source>
        <translation>Could not download %1: %2</translation>
    </message>
    <message>
        <source>Загрузка %1 прервана: получено %2 из %3 байт</source>
        <translation>Download of %1 broke off: %2 of %3 bytes received</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation>Could not write the file %1</translation>
    </message>
    <message>
        <source>Загрузка файла %1</source>
        <translation>Downloading %1</translation>
    </message>
</context>
<context>
    <name>FeedLoader</name>
    <message>
        <source>Загрузка %1 отменена</source>
        <translation>Loading of %1 cancelled</translation>
    </message>
    <message>
        <source>Выполнено</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Старт загрузки %1</source>
        <translation>Loading %1</translation>
    </message>
    <message>
        <source>Загрузка %1: загружено %2 товаров.</source>
        <translation>Loading %1: %2 goods loaded.</translation>
    </message>
</context>
<context>
    <name>FiltersLabel</name>
    <message>
        <source>Фильтры: </source>
        <translation>Filters: </translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#choosePrice&quot;&gt;Цена с %1 до %2&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#choosePrice&quot;&gt;Price from %1 to %2&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#choosePrice&quot;&gt;Любая цена&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#choosePrice&quot;&gt;Any price&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#chooseVendor&quot;&gt;Любой производитель&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#chooseVendor&quot;&gt;Any brand&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#chooseVendor&quot;&gt;Выбраны некоторые производители&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#chooseVendor&quot;&gt;Some brands&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Только если есть скидка</source>
        <translation>Discounted only</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#chooseOldPrice&quot;&gt;Неважно есть скидка или нет&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#chooseOldPrice&quot;&gt;With or without a discount&lt;/a&gt;</translation>
    </message>
    <message>
        <source>Выбор производителя</source>
        <translation>Choose brands</translation>
    </message>
    <message>
        <source>Выберите список производителей, которые должны присутствовать в выборке</source>
        <translation>Choose the brands whose goods to show</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#chooseVendor&quot;&gt;Производители: %1&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#chooseVendor&quot;&gt;Brands: %1&lt;/a&gt;</translation>
    </message>
</context>
<context>
    <name>Good</name>
    <message>
        <source>Добавлен</source>
        <translation>Added</translation>
    </message>
    <message>
        <source>Изменён</source>
        <translation>Changed</translation>
    </message>
    <message>
        <source>Удалён</source>
        <translation>Deleted</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>GoodPropsView</name>
    <message>
        <source>Свойство</source>
        <translation>Property</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
</context>
<context>
    <name>GoodViewDialog</name>
    <message>
        <source>Просмотр товара</source>
        <translation>Good details</translation>
    </message>
    <message>
        <source>Загрузка...</source>
        <translation>Loading...</translation>
    </message>
</context>
<context>
    <name>GoodWidget</name>
    <message>
        <source>Загрузка...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>Название</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Цена</source>
        <translation>Price</translation>
    </message>
    <message>
        <source>Старая цена</source>
        <translation>Old price</translation>
    </message>
    <message>
        <source>Категория</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>Производитель</source>
        <translation>Brand</translation>
    </message>
    <message>
        <source>Источник</source>
        <translation>Offer</translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Статус</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>GoodsWriter</name>
    <message>
        <source>Сохранение %1</source>
        <translation>Saving %1</translation>
    </message>
    <message>
        <source>Сохранено %1</source>
        <translation>Saved %1</translation>
    </message>
</context>
<context>
    <name>IncludeCatViewModel</name>
    <message>
        <source>Оставить</source>
        <translation>Keep</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Drop</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Эта категория уже есть в списке</source>
        <translation>This category is already in the list</translation>
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
        <translation>Remove loaded data</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Загрузить CSV всех офферов</source>
        <translation>Load all offers&apos; CSV</translation>
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
        <translation>MODX site (Fidmora)</translation>
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
        <translation>From a URL</translation>
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
        <translation>Finished with an error</translation>
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
        <translation>Enter the feed URL</translation>
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
        <translation>The offer&apos;s new rules apply when its feed is loaded again</translation>
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
        <translation>Fidmora project</translation>
    </message>
    <message>
        <source>Не удалось сохранить проект в файл %1</source>
        <translation>Could not save the project to %1</translation>
    </message>
    <message>
        <source>Язык интерфейса</source>
        <translation>Interface language</translation>
    </message>
    <message>
        <source>Русский</source>
        <translation>Russian</translation>
    </message>
    <message>
        <source>Английский</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Выполнено с ошибкой: %1</source>
        <translation>Finished with an error: %1</translation>
    </message>
    <message>
        <source>Новый язык интерфейса появится при следующем запуске Fidmora.</source>
        <translation>Fidmora will speak the new interface language from its next start.</translation>
    </message>
    <message>
        <source>Категорий: %1. Товаров: %2</source>
        <translation>Categories: %1. Goods: %2</translation>
    </message>
</context>
<context>
    <name>Model</name>
    <message>
        <source>Файл %1 не найден</source>
        <translation>File %1 not found</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл %1</source>
        <translation>Could not read the file %1</translation>
    </message>
    <message>
        <source>В файле %1 нет заголовка: первая строка пуста</source>
        <translation>The file %1 has no header: its first line is empty</translation>
    </message>
    <message>
        <source>Удаление дублей отменено</source>
        <translation>Duplicate removal cancelled</translation>
    </message>
    <message>
        <source>Сохранение отменено</source>
        <translation>Saving cancelled</translation>
    </message>
    <message>
        <source>Не удалось создать файл %1</source>
        <translation>Could not create the file %1</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation>Could not write the file %1</translation>
    </message>
    <message>
        <source>Загрузка %1 отменена</source>
        <translation>Loading of %1 cancelled</translation>
    </message>
    <message>
        <source>Удаление старых данных</source>
        <translation>Removing the old data</translation>
    </message>
    <message>
        <source>Операция отменена</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>Удаление оффера</source>
        <translation>Deleting the offer</translation>
    </message>
    <message>
        <source>Загрузка файла %1</source>
        <translation>Downloading %1</translation>
    </message>
</context>
<context>
    <name>PriceDialog</name>
    <message>
        <source>Выберите цену</source>
        <translation>Choose the price</translation>
    </message>
    <message>
        <source>от</source>
        <translation>from</translation>
    </message>
    <message>
        <source>до</source>
        <translation>to</translation>
    </message>
    <message>
        <source>(доступные значения от %1 до %2)</source>
        <translation>(prices from %1 to %2 are available)</translation>
    </message>
</context>
<context>
    <name>ProgressDialog</name>
    <message>
        <source>Обработка...</source>
        <translation>Working...</translation>
    </message>
    <message>
        <source>Идёт обработка...</source>
        <translation>Working...</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>ProjectFile</name>
    <message>
        <source>Файл проекта %1 не найден</source>
        <translation>Project file %1 not found</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл проекта %1</source>
        <translation>Could not read the project file %1</translation>
    </message>
    <message>
        <source>Файл проекта %1 повреждён: слишком глубокая вложенность элементов</source>
        <translation>The project file %1 is damaged: its elements nest too deep</translation>
    </message>
    <message>
        <source>Файл проекта %1 повреждён: %2 (строка %3)</source>
        <translation>The project file %1 is damaged: %2 (line %3)</translation>
    </message>
    <message>
        <source>Файл %1 не является проектом Fidmora</source>
        <translation>The file %1 is not a Fidmora project</translation>
    </message>
</context>
<context>
    <name>QWidget</name>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
</context>
<context>
    <name>ReplaceCatViewModel</name>
    <message>
        <source>Категория оффера</source>
        <translation>Offer&apos;s category</translation>
    </message>
    <message>
        <source>Переименованная категория</source>
        <translation>Renamed category</translation>
    </message>
    <message>
        <source>Объединить подкатегории</source>
        <translation>Merge subcategories</translation>
    </message>
</context>
<context>
    <name>Source</name>
    <message>
        <source>Разные офферы</source>
        <translation>Various offers</translation>
    </message>
</context>
</TS>
