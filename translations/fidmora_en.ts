<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>AdmitadRelay</name>
    <message>
        <source>Адрес сервиса не задан или неверен</source>
        <translation>The service address is missing or wrong</translation>
    </message>
    <message>
        <source>Обращение к сервису авторизации %1</source>
        <translation>Contacting the authorisation service %1</translation>
    </message>
    <message>
        <source>Отменено</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>Сервер ответил %1 %2 на запрос %3</source>
        <translation>The server answered %1 %2 to the request for %3</translation>
    </message>
    <message>
        <source>Не удалось обратиться к %1: %2</source>
        <translation>Could not reach %1: %2</translation>
    </message>
    <message>
        <source>Сервис %1 вернул пустой ответ</source>
        <translation>The service %1 sent an empty answer</translation>
    </message>
</context>
<context>
    <name>AdmitdeZozavoDialog</name>
    <message>
        <source>Загрузка офферов из Admitad</source>
        <translation>Loading offers from Admitad</translation>
    </message>
    <message>
        <source>После нажатия кнопки &quot;Авторизоваться&quot; вы будете перенаправлены на сайт Admitad. После прохождения авторизации загрузка начнётся автоматически.</source>
        <translation>After you press &quot;Sign in&quot; you will be taken to the Admitad site. Once you have signed in there, the offers load by themselves.</translation>
    </message>
    <message>
        <source>Авторизоваться</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Настройки сервиса...</source>
        <translation>Service settings...</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Сервис вернул адрес авторизации без параметра state: %1</source>
        <translation>The service sent a sign-in address without a state parameter: %1</translation>
    </message>
    <message>
        <source>Сервис вернул адрес авторизации, который нельзя открыть в браузере: %1</source>
        <translation>The service sent a sign-in address that a web browser cannot open: %1</translation>
    </message>
    <message>
        <source>Адрес сервиса авторизации не задан или неверен: &quot;%1&quot;</source>
        <translation>The address of the authorisation service is missing or wrong: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>временная папка %1 не найдена</source>
        <translation>the temporary folder %1 was not found</translation>
    </message>
    <message>
        <source>Не удалось сохранить список офферов во временный файл: %1</source>
        <translation>Could not keep the list of offers in a temporary file: %1</translation>
    </message>
    <message>
        <source>Ожидание авторизации: %1</source>
        <translation>Waiting for the sign-in: %1</translation>
    </message>
    <message>
        <source>Сервис не отвечает: %1</source>
        <translation>The service does not answer: %1</translation>
    </message>
    <message>
        <source>Авторизация в Admitad не завершилась за %1. Загрузка офферов остановлена, попробуйте ещё раз.</source>
        <translation>The Admitad sign-in did not finish within %1. Loading the offers has stopped; please try again.</translation>
    </message>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 мин</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 мин %2 с</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>Настройки сервиса</source>
        <translation>Service settings</translation>
    </message>
    <message>
        <source>Адрес сервиса авторизации задан переменной окружения %1: %2. Чтобы обращаться к другому сервису, измените эту переменную.</source>
        <translation>The address of the authorisation service comes from the environment variable %1: %2. To use another service, change that variable.</translation>
    </message>
    <message>
        <source>Адрес сервиса авторизации Admitad</source>
        <translation>Address of the Admitad authorisation service</translation>
    </message>
    <message>
        <source>&quot;%1&quot; не подходит как адрес сервиса: нужен адрес вида http://сервер:порт</source>
        <translation>&quot;%1&quot; is not a service address: it must look like http://server:port</translation>
    </message>
    <message>
        <source>&amp;Копировать</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>Не удалось открыть браузер. Откройте адрес ниже сами: кнопка «Копировать» копирует его целиком.</source>
        <translation>The browser could not be opened. Open the address below yourself: “Copy” copies it whole.</translation>
    </message>
</context>
<context>
    <name>ChangeFormat</name>
    <message>
        <source>(пусто)</source>
        <translation>(empty)</translation>
    </message>
</context>
<context>
    <name>ChangeReport</name>
    <message>
        <source>столбцы с %1-го по %2-й</source>
        <translation>columns %1 to %2</translation>
    </message>
    <message>
        <source>Отчёт об изменениях</source>
        <translation>Change report</translation>
    </message>
    <message>
        <source>Составлен %1</source>
        <translation>Made %1</translation>
    </message>
    <message>
        <source>с учётом фильтра</source>
        <translation>with the filter applied</translation>
    </message>
    <message>
        <source>добавлено</source>
        <translation>added</translation>
    </message>
    <message>
        <source>изменено</source>
        <translation>changed</translation>
    </message>
    <message>
        <source>удалено</source>
        <translation>deleted</translation>
    </message>
    <message>
        <source>без изменений</source>
        <translation>unchanged</translation>
    </message>
    <message>
        <source>Итоги</source>
        <translation>Totals</translation>
    </message>
    <message>
        <source>Добавлено</source>
        <translation>Added</translation>
    </message>
    <message>
        <source>Изменено</source>
        <translation>Changed</translation>
    </message>
    <message>
        <source>Удалено</source>
        <translation>Deleted</translation>
    </message>
    <message>
        <source>Без изменений (совпали с базой)</source>
        <translation>Unchanged (the same as in the base)</translation>
    </message>
    <message>
        <source>Товаров в каталоге</source>
        <translation>Goods in the catalogue</translation>
    </message>
    <message>
        <source>Добавлено: %1</source>
        <translation>Added: %1</translation>
    </message>
    <message>
        <source>Изменено: %1</source>
        <translation>Changed: %1</translation>
    </message>
    <message>
        <source>Удалено: %1</source>
        <translation>Deleted: %1</translation>
    </message>
    <message>
        <source>Без изменений: %1</source>
        <translation>Unchanged: %1</translation>
    </message>
    <message>
        <source>Изменённых товаров без сохранённой строки базы (не входят в разделы о ценах и столбцах): %1</source>
        <translation>Changed goods whose base row is not known (left out of the prices and columns): %1</translation>
    </message>
    <message>
        <source>По базам</source>
        <translation>By base</translation>
    </message>
    <message>
        <source>База</source>
        <translation>Base</translation>
    </message>
    <message>
        <source>Строк</source>
        <translation>Rows</translation>
    </message>
    <message>
        <source>Без изменений</source>
        <translation>Unchanged</translation>
    </message>
    <message>
        <source>Повторов</source>
        <translation>Repeats</translation>
    </message>
    <message>
        <source>Числа по базам — на момент загрузки каждой базы; итоги выше — каталог сейчас.</source>
        <translation>The figures by base are those of each base&apos;s load; the totals above are the catalogue now.</translation>
    </message>
    <message>
        <source>База не загружалась: все товары каталога — добавленные.</source>
        <translation>No base was loaded: every good of the catalogue is added.</translation>
    </message>
    <message>
        <source>Защита от удаления</source>
        <translation>Deletion guard</translation>
    </message>
    <message>
        <source>Удаляется %1 из %2 товаров базы (%3).</source>
        <translation>%1 of the %2 goods of the bases would be deleted (%3).</translation>
    </message>
    <message>
        <source>Ограничение выключено: экспорт не проверяется.</source>
        <translation>The limit is off: exports are not checked.</translation>
    </message>
    <message>
        <source>Это больше допустимых %1: экспорт будет отклонён (в окне — только после подтверждения).</source>
        <translation>That is more than the %1 allowed: an export is refused (in the window, it runs only once confirmed).</translation>
    </message>
    <message>
        <source>Это не больше допустимых %1: экспорт разрешён.</source>
        <translation>That is within the %1 allowed: exports may run.</translation>
    </message>
    <message>
        <source>Офферы, у которых удаляются все товары базы (чаще всего — фид не загрузился или пришёл пустым):</source>
        <translation>Offers all of whose goods in the bases would be deleted (most often a feed that failed or came back empty):</translation>
    </message>
    <message>
        <source>Оффер</source>
        <translation>Offer</translation>
    </message>
    <message>
        <source>В базе</source>
        <translation>In the base</translation>
    </message>
    <message>
        <source>В данных</source>
        <translation>In the data</translation>
    </message>
    <message>
        <source>По офферам</source>
        <translation>By offer</translation>
    </message>
    <message>
        <source>Товаров нет.</source>
        <translation>There are no goods.</translation>
    </message>
    <message>
        <source>Офферы по числу удалений; полоса — все товары оффера в данных и базе, справа — доля тех, что меняются на сайте.</source>
        <translation>Offers by their deletions; a bar is all the offer&apos;s goods in the data and the bases, the share on the right those that change on the site.</translation>
    </message>
    <message>
        <source>%1: добавлено %2, изменено %3, удалено %4, без изменений %5</source>
        <translation>%1: %2 added, %3 changed, %4 deleted, %5 unchanged</translation>
    </message>
    <message>
        <source>Ещё офферов, не показанных здесь (у них меньше удалений): %1</source>
        <translation>More offers not shown here (with fewer deletions): %1</translation>
    </message>
    <message>
        <source>Изменения цен</source>
        <translation>Price changes</translation>
    </message>
    <message>
        <source>Изменённых товаров с ценой в данных и в базе</source>
        <translation>Changed goods with a price in the data and in the base</translation>
    </message>
    <message>
        <source>Цена та же (изменилось другое)</source>
        <translation>Same price (something else changed)</translation>
    </message>
    <message>
        <source>Подорожали</source>
        <translation>Rose</translation>
    </message>
    <message>
        <source>Подешевели</source>
        <translation>Fell</translation>
    </message>
    <message>
        <source>Подорожали больше чем на %1</source>
        <translation>Rose by more than %1</translation>
    </message>
    <message>
        <source>Подешевели больше чем на %1</source>
        <translation>Fell by more than %1</translation>
    </message>
    <message>
        <source>изменение цены, %</source>
        <translation>price change, %</translation>
    </message>
    <message>
        <source>Самые большие изменения цены</source>
        <translation>The largest price changes</translation>
    </message>
    <message>
        <source>Цены не менялись.</source>
        <translation>No price changed.</translation>
    </message>
    <message>
        <source>Товар</source>
        <translation>Good</translation>
    </message>
    <message>
        <source>Было</source>
        <translation>Was</translation>
    </message>
    <message>
        <source>Стало</source>
        <translation>Now</translation>
    </message>
    <message>
        <source>Изменение</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>Чаще всего менялись столбцы</source>
        <translation>Columns that changed most often</translation>
    </message>
    <message>
        <source>Изменённых товаров нет.</source>
        <translation>There are no changed goods.</translation>
    </message>
    <message>
        <source>Ещё столбцов, менявшихся реже: %1</source>
        <translation>More columns that changed less often: %1</translation>
    </message>
    <message>
        <source>Сравниваются столбцы, которые есть и в данных, и в базе, кроме категории; товар считается в каждом своём изменившемся столбце.</source>
        <translation>The columns compared are those both the data and the base have, but for the category; a good counts in each of its columns that changed.</translation>
    </message>
    <message>
        <source>Не удалось записать отчёт %1: %2</source>
        <translation>Could not write the report %1: %2</translation>
    </message>
</context>
<context>
    <name>CheckedStringListDialog</name>
    <message>
        <source>Найти в списке</source>
        <translation>Find in the list</translation>
    </message>
    <message>
        <source>&amp;Выбрать все</source>
        <translation>Select &amp;all</translation>
    </message>
    <message>
        <source>Сн&amp;ять все</source>
        <translation>&amp;Clear all</translation>
    </message>
</context>
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
        <source>оффер «%1» (%2): %3</source>
        <translation>offer &quot;%1&quot; (%2): %3</translation>
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
        <source>добавить файл с данными (CSV, dc_catalog или YML)</source>
        <translation>add a data file (CSV, dc_catalog or YML)</translation>
    </message>
    <message>
        <source>добавить файл с базой (CSV, dc_catalog или YML)</source>
        <translation>add a base file (CSV, dc_catalog or YML)</translation>
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
        <source>Ход работы выводится в поток ошибок; Ctrl+C отменяет текущий шаг.</source>
        <translation>Progress goes to standard error; Ctrl+C cancels the current step.</translation>
    </message>
    <message>
        <source>Коды завершения: 0 — все шаги выполнены, 1 — шаг не выполнен, 2 — ошибка в параметрах,</source>
        <translation>Exit codes: 0 — every step succeeded, 1 — a step failed, 2 — wrong options,</translation>
    </message>
    <message>
        <source>Пример: обновлять изменения для сайта каждые 4 часа (строка crontab):</source>
        <translation>Example: refresh the changes for the site every 4 hours (a crontab line):</translation>
    </message>
    <message>
        <source>Отмена: текущий шаг остановится, как только сможет. Повторное Ctrl+C прервёт работу сразу.</source>
        <translation>Cancelling: the current step stops as soon as it can. Press Ctrl+C again to stop at once.</translation>
    </message>
    <message>
        <source>Предупреждение: %1</source>
        <translation>Warning: %1</translation>
    </message>
    <message>
        <source>удаляется %1 из %2 товаров базы (%3%), больше допустимых --max-delete %4%: ничего не записано</source>
        <translation>%1 of the %2 goods of the bases would be deleted (%3%), more than --max-delete allows (%4%): nothing was written</translation>
    </message>
    <message>
        <source>нечего выгружать: предыдущий --save писал не в файл</source>
        <translation>nothing to upload: the --save before did not write a file</translation>
    </message>
    <message>
        <source>не задан сайт: укажите --site или проект с адресом сайта</source>
        <translation>no site given: name one with --site or open a project that holds the site&apos;s address</translation>
    </message>
    <message>
        <source>выгрузить сохранённое предыдущим --save или --save-by-cats на ftp://, ftps:// или sftp://</source>
        <translation>upload what the --save or --save-by-cats before wrote, to ftp://, ftps:// or sftp://</translation>
    </message>
    <message>
        <source>ХОСТ</source>
        <translation>HOST</translation>
    </message>
    <message>
        <source>сайт для следующих шагов с сайтом (по умолчанию export/modx/host проекта)</source>
        <translation>the site of the site steps that follow (by default the project&apos;s export/modx/host)</translation>
    </message>
    <message>
        <source>загрузить товары сайта как данные</source>
        <translation>load the site&apos;s goods as data</translation>
    </message>
    <message>
        <source>загрузить товары сайта как базу</source>
        <translation>load the site&apos;s goods as a base</translation>
    </message>
    <message>
        <source>записать на сайт товары, прошедшие фильтр</source>
        <translation>write the goods that pass the filter to the site</translation>
    </message>
    <message>
        <source>ПРОЦЕНТ</source>
        <translation>PERCENT</translation>
    </message>
    <message>
        <source>Параметру %1 нужно число от 0 до 100, а не «%2»</source>
        <translation>Option %1 needs a number from 0 to 100, not &quot;%2&quot;</translation>
    </message>
    <message>
        <source>Шагу %1 нечего выгружать: перед ним нужен --save или --save-by-cats</source>
        <translation>Step %1 has nothing to upload: it needs a --save or --save-by-cats before it</translation>
    </message>
    <message>
        <source>Адрес %1 не поддерживается: нужен ftp://, ftps:// или sftp:// с именем сервера</source>
        <translation>The address %1 is not supported: it must be ftp://, ftps:// or sftp:// with a server name</translation>
    </message>
    <message>
        <source>Пароль в адресе виден всем в списке процессов: задайте его в переменной окружения FIDMORA_FTP_PASSWORD или в ~/.netrc</source>
        <translation>A password in the address is visible to everyone in the process list: give it in the environment variable FIDMORA_FTP_PASSWORD or in ~/.netrc</translation>
    </message>
    <message>
        <source>не показывать ход работы (предупреждения и ошибки выводятся всё равно)</source>
        <translation>do not show the progress (warnings and errors are still shown)</translation>
    </message>
    <message>
        <source>не сохранять и не выгружать, если удаляется больше этой доли товаров базы</source>
        <translation>do not save or upload when more than this share of the bases&apos; goods would be deleted</translation>
    </message>
    <message>
        <source>не проверять сертификат (FTPS) и ключ сервера (SFTP)</source>
        <translation>do not check the server&apos;s certificate (FTPS) or key (SFTP)</translation>
    </message>
    <message>
        <source>закрытый ключ для выгрузки по SFTP</source>
        <translation>the private key for SFTP uploads</translation>
    </message>
    <message>
        <source>переменные окружения FIDMORA_SITE_LOGIN и FIDMORA_SITE_PASSWORD их заменяют.</source>
        <translation>the environment variables FIDMORA_SITE_LOGIN and FIDMORA_SITE_PASSWORD take their place.</translation>
    </message>
    <message>
        <source>адрес ftps:// — это FTP с явным TLS (AUTH TLS, порт 21). Адрес, оканчивающийся на «/», — папка.</source>
        <translation>an ftps:// address is FTP with explicit TLS (AUTH TLS, port 21). An address that ends with &quot;/&quot; is a folder.</translation>
    </message>
    <message>
        <source>оффер %1: в базе %2, в данных %3</source>
        <translation>offer %1: %2 in the base, %3 in the data</translation>
    </message>
    <message>
        <source>(по умолчанию %1; 100 — без ограничения)</source>
        <translation>(%1 by default; 100 means no limit)</translation>
    </message>
    <message>
        <source>3 — не сохранено: удалялось больше товаров базы, чем позволяет --max-delete,</source>
        <translation>3 — nothing saved: more of the base&apos;s goods would be deleted than --max-delete allows,</translation>
    </message>
    <message>
        <source>Прервано сигналом %1</source>
        <translation>Interrupted by the signal %1</translation>
    </message>
    <message>
        <source>не удалось вывести итоги: %1</source>
        <translation>could not write the summary: %1</translation>
    </message>
    <message>
        <source>ошибка записи</source>
        <translation>write error</translation>
    </message>
    <message>
        <source>Пароль в адресе сайта виден всем в списке процессов: задайте его в переменной окружения FIDMORA_SITE_PASSWORD или в проекте</source>
        <translation>A password in the site address is visible to everyone in the process list: set it in the environment variable FIDMORA_SITE_PASSWORD or in the project</translation>
    </message>
    <message>
        <source>130 — прервано (Ctrl+C), 143 — прервано сигналом SIGTERM, 129 — сигналом SIGHUP.</source>
        <translation>130 — interrupted (Ctrl+C), 143 — interrupted by SIGTERM, 129 — by SIGHUP.</translation>
    </message>
    <message>
        <source>Получен сигнал %1: текущий шаг остановится, как только сможет.</source>
        <translation>Received the signal %1: the current step stops as soon as it can.</translation>
    </message>
    <message>
        <source>Не удалось создать папку %1: %2</source>
        <translation>Could not create the folder %1: %2</translation>
    </message>
    <message>
        <source>«added N», «changed N», «deleted N», «uncategorized N», «base_repeats N». Категории и товары</source>
        <translation>&quot;added N&quot;, &quot;changed N&quot;, &quot;deleted N&quot;, &quot;uncategorized N&quot;, &quot;base_repeats N&quot;. Categories and goods</translation>
    </message>
    <message>
        <source>считаются среди прошедших фильтр; uncategorized — строки фидов без категории, которые не</source>
        <translation>are counted among those that pass the filter; uncategorized counts the feed rows without a category, which were</translation>
    </message>
    <message>
        <source>загружены; base_repeats — строки баз, пропущенные как повторы ключа, встреченного в базе выше.</source>
        <translation>not loaded; base_repeats the base rows passed over because a row above them in the base had the same key.</translation>
    </message>
    <message>
        <source>пропущено строк, не читаемых как запись: %1</source>
        <translation>lines that read as no record passed over: %1</translation>
    </message>
    <message>
        <source>файлов, перекодированных из windows-1251: %1</source>
        <translation>files converted from windows-1251: %1</translation>
    </message>
    <message>
        <source>строк с байтами не в кодировке UTF-8: %1</source>
        <translation>rows with bytes that are not UTF-8: %1</translation>
    </message>
    <message>
        <source>%1 (--strict)</source>
        <translation>%1 (--strict)</translation>
    </message>
    <message>
        <source>считать ошибкой загрузку, пропустившую строки или прочитавшую текст не в UTF-8</source>
        <translation>fail a load that passed over lines or read text that is not UTF-8</translation>
    </message>
    <message>
        <source>отчёт об изменениях: %1</source>
        <translation>change report: %1</translation>
    </message>
    <message>
        <source>Отчёт об изменениях записан: %1</source>
        <translation>Change report written: %1</translation>
    </message>
    <message>
        <source>записать отчёт об изменениях (HTML); отказ --max-delete тоже пишет его</source>
        <translation>write the change report (HTML); a refusal of --max-delete writes it too</translation>
    </message>
    <message>
        <source>не найдены источники: %1</source>
        <translation>sources not found: %1</translation>
    </message>
    <message>
        <source>в проекте нет источников: проект запоминает файлы, адреса и сайты, загруженные в нём</source>
        <translation>the project has no sources: a project remembers the files, addresses and sites loaded in it</translation>
    </message>
    <message>
        <source>очистить товары и загрузить снова источники проекта по порядку, до первой ошибки</source>
        <translation>clear the goods and load the project&apos;s sources again in order, up to the first failure</translation>
    </message>
    <message>
        <source>(и --load-sources, не нашедший файл источника)</source>
        <translation>(and a --load-sources that did not find a source&apos;s file)</translation>
    </message>
    <message>
        <source>пароля сайта нет в хранилище паролей системы (%1): задайте FIDMORA_SITE_PASSWORD</source>
        <translation>the site&apos;s password is not in the system&apos;s keyring (%1): set FIDMORA_SITE_PASSWORD</translation>
    </message>
    <message>
        <source>хранилище паролей системы недоступно (%1): задайте FIDMORA_SITE_PASSWORD</source>
        <translation>the system&apos;s keyring is not available (%1): set FIDMORA_SITE_PASSWORD</translation>
    </message>
    <message>
        <source>Логин и пароль сайта берутся из проекта (export/modx/login; пароль — из хранилища паролей</source>
        <translation>The site&apos;s login and password come from the project (export/modx/login; the password from the</translation>
    </message>
    <message>
        <source>системы по export/modx/keyring или из export/modx/password);</source>
        <translation>system&apos;s keyring by export/modx/keyring, or from export/modx/password);</translation>
    </message>
    <message>
        <source>Пароль для --upload берётся из переменной окружения FIDMORA_FTP_PASSWORD, иначе из хранилища</source>
        <translation>The password of --upload comes from the environment variable FIDMORA_FTP_PASSWORD, else from the</translation>
    </message>
    <message>
        <source>паролей системы (запомненный окном для этого логина и сервера), иначе из ~/.netrc;</source>
        <translation>system&apos;s keyring (one the window remembered for that login and server), else from ~/.netrc;</translation>
    </message>
</context>
<context>
    <name>DcCatalogConverter</name>
    <message>
        <source>Обработка dc_catalog</source>
        <translation>Converting the dc_catalog file</translation>
    </message>
    <message>
        <source>Обработка %1 отменена</source>
        <translation>Processing of %1 cancelled</translation>
    </message>
    <message>
        <source>Не удалось создать файл %1</source>
        <translation>Could not create the file %1</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл %1</source>
        <translation>Could not read the file %1</translation>
    </message>
    <message>
        <source>Файл %1 повреждён: %2</source>
        <translation>The file %1 is damaged: %2</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation>Could not write the file %1</translation>
    </message>
    <message>
        <source>%1 не является обычным файлом</source>
        <translation>%1 is not a regular file</translation>
    </message>
</context>
<context>
    <name>DeleteConfirmation</name>
    <message>
        <source>Удаляется %1 из %2 товаров базы (%3%). Продолжить?</source>
        <translation>%1 of the %2 goods of the bases would be deleted (%3%). Go on?</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>оффер %1: в базе %2, в данных %3</source>
        <translation>offer %1: %2 in the base, %3 in the data</translation>
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
    <name>ErrorBox</name>
    <message>
        <source>Подробнее</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Скрыть подробности</source>
        <translation>Hide details</translation>
    </message>
</context>
<context>
    <name>ExportFile</name>
    <message>
        <source>%1 — папка, а не файл</source>
        <translation>%1 is a folder, not a file</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation>Could not write the file %1</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1: %2</source>
        <translation>Could not write the file %1: %2</translation>
    </message>
    <message>
        <source>%1 — символьная ссылка другого пользователя (на %2): по ней не пишется</source>
        <translation>%1 is a symbolic link of another user (to %2): nothing is written through it</translation>
    </message>
    <message>
        <source>%1 — символьная ссылка на несуществующий файл %2: по ней не пишется</source>
        <translation>%1 is a symbolic link to the missing file %2: nothing is written through it</translation>
    </message>
    <message>
        <source>%1 — символьная ссылка на файл другого пользователя (%2): по ней не пишется</source>
        <translation>%1 is a symbolic link to a file of another user (%2): nothing is written through it</translation>
    </message>
    <message>
        <source>%1: слишком длинная цепочка символьных ссылок</source>
        <translation>%1: too long a chain of symbolic links</translation>
    </message>
    <message>
        <source>Не удалось создать файл %1: %2</source>
        <translation>Could not create the file %1: %2</translation>
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
    <message>
        <source>Адрес %1 не подходит: фиды загружаются только по http, https и ftp</source>
        <translation>The address %1 cannot be used: feeds are downloaded over http, https and ftp only</translation>
    </message>
    <message>
        <source>Не удалось создать временную папку в %1</source>
        <translation>Could not create a temporary folder in %1</translation>
    </message>
    <message>
        <source>перенаправление на %1, а фиды загружаются только по http, https и ftp</source>
        <translation>a redirect to %1, but feeds are downloaded only over http, https and ftp</translation>
    </message>
    <message>
        <source>перенаправление с https на незащищённый адрес %1</source>
        <translation>a redirect from https to the unprotected address %1</translation>
    </message>
    <message>
        <source>больше %1 перенаправлений</source>
        <translation>more than %1 redirects</translation>
    </message>
    <message>
        <source>сервер вернул веб-страницу, а не фид: %1</source>
        <translation>the server returned a web page, not a feed: %1</translation>
    </message>
    <message>
        <source>Соединение разорвано во время передачи</source>
        <translation>The connection was broken during the transfer</translation>
    </message>
    <message>
        <source>Сервер не отвечает на порту %1</source>
        <translation>The server does not answer on port %1</translation>
    </message>
    <message>
        <source>Сервер %1 не найден</source>
        <translation>Server %1 not found</translation>
    </message>
</context>
<context>
    <name>FeedEncoding</name>
    <message>
        <source>Не удалось прочитать файл %1</source>
        <translation>Could not read the file %1</translation>
    </message>
    <message>
        <source>Не удалось создать файл %1</source>
        <translation>Could not create the file %1</translation>
    </message>
    <message>
        <source>Перекодирование %1 из windows-1251 в UTF-8</source>
        <translation>Converting %1 from windows-1251 to UTF-8</translation>
    </message>
    <message>
        <source>Перекодирование %1 отменено</source>
        <translation>Converting %1 was cancelled</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation>Could not write the file %1</translation>
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
    <message>
        <source>Выполнено, пропущено строк: %1</source>
        <translation>Done, rows passed over: %1</translation>
    </message>
    <message>
        <source>В файле %1 нет товаров: только заголовок</source>
        <translation>The file %1 holds no goods: only a header</translation>
    </message>
    <message>
        <source>строка %1</source>
        <translation>line %1</translation>
    </message>
    <message>
        <source>строки %1</source>
        <translation>lines %1</translation>
    </message>
    <message>
        <source>В файле %1 повторяются столбцы %2: читается только первый из одноимённых</source>
        <translation>The file %1 repeats the columns %2: only the first of each name is read</translation>
    </message>
    <message>
        <source>Файл %1 изменился во время загрузки: загрузите его заново</source>
        <translation>The file %1 changed while it was being loaded: load it again</translation>
    </message>
    <message>
        <source>Перед сравнением с базой %1 из данных убраны повторы: %2 товаров с ключом, который уже был у товара выше (остался первый)</source>
        <translation>Before the comparison with the base %1, repeats were removed from the data: %2 goods with a key that a good above them already had (the first one stays)</translation>
    </message>
    <message>
        <source>Файл %1: в базе повторов: %2 (строки с ключом, который уже был в базе выше, пропущены и не удаляются)</source>
        <translation>File %1: repeats in the base: %2 (rows whose key a row above them in the base already had are passed over and not deleted)</translation>
    </message>
    <message>
        <source>В файле %1 не загружено строк без категории: %2</source>
        <translation>Rows without a category not loaded from the file %1: %2</translation>
    </message>
    <message>
        <source>В файле %1 не найдено ни одной строки товаров: пропущено строк, не читаемых как запись (неверное число полей, незакрытая кавычка, поле больше 64 МБ): %2 (%3)</source>
        <translation>No row of goods was found in the file %1: lines that read as no record (a wrong number of fields, a quote left open, a field over 64 MB) passed over: %2 (%3)</translation>
    </message>
    <message>
        <source>В файле %1 пропущено строк, не читаемых как запись (неверное число полей, незакрытая кавычка, поле больше 64 МБ): %2 (%3)</source>
        <translation>Lines that read as no record (a wrong number of fields, a quote left open, a field over 64 MB) passed over in the file %1: %2 (%3)</translation>
    </message>
    <message>
        <source>В файле %1 строк с байтами не в кодировке UTF-8: %2 (%3); такие байты читаются как знак замены «�»</source>
        <translation>Rows with bytes that are not UTF-8 in the file %1: %2 (%3); such bytes read as the replacement character &quot;�&quot;</translation>
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
    <message>
        <source>&lt;a href=&quot;#choosePrice&quot;&gt;Цена от %1&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#choosePrice&quot;&gt;Price from %1&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#choosePrice&quot;&gt;Цена до %1&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;#choosePrice&quot;&gt;Price up to %1&lt;/a&gt;</translation>
    </message>
</context>
<context>
    <name>FtpExportDialog</name>
    <message>
        <source>Экспорт товаров по FTP</source>
        <translation>Export goods by FTP</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Хост</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>ftp.example.com</source>
        <translation>ftp.example.com</translation>
    </message>
    <message>
        <source>Порт</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Логин</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Показать пароль</source>
        <translation>Show the password</translation>
    </message>
    <message>
        <source>Показать</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Пароль будет записан в файл проекта открытым текстом</source>
        <translation>The password will be written into the project file as plain text</translation>
    </message>
    <message>
        <source>Запомнить пароль</source>
        <translation>Remember the password</translation>
    </message>
    <message>
        <source>Ключ</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>~/.ssh/id_ed25519</source>
        <translation>~/.ssh/id_ed25519</translation>
    </message>
    <message>
        <source>Выбрать файл закрытого ключа</source>
        <translation>Choose the private key file</translation>
    </message>
    <message>
        <source>Папка/Файл</source>
        <translation>Folder/File</translation>
    </message>
    <message>
        <source>Категории</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>Слить все в один файл</source>
        <translation>All in one file</translation>
    </message>
    <message>
        <source>Каждую в отдельный файл</source>
        <translation>Each in a file of its own</translation>
    </message>
    <message>
        <source>Для серверов с самоподписанным сертификатом (FTPS) или с новым ключом (SFTP)</source>
        <translation>For servers with a self-signed certificate (FTPS) or a new key (SFTP)</translation>
    </message>
    <message>
        <source>Не проверять сертификат</source>
        <translation>Do not check the certificate</translation>
    </message>
    <message>
        <source>Путь:</source>
        <translation>Path:</translation>
    </message>
    <message>
        <source>Файл закрытого ключа</source>
        <translation>Private key file</translation>
    </message>
    <message>
        <source>Проверка соединения</source>
        <translation>Checking the connection</translation>
    </message>
    <message>
        <source>Соединение недоступно</source>
        <translation>No connection</translation>
    </message>
    <message>
        <source>Неверный логин или пароль</source>
        <translation>Wrong login or password</translation>
    </message>
    <message>
        <source>Проверьте интернет соединение</source>
        <translation>Check the Internet connection</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Экспорт завершён удачно</source>
        <translation>The export succeeded</translation>
    </message>
    <message>
        <source>Экспорт не завершён</source>
        <translation>The export did not finish</translation>
    </message>
    <message>
        <source>Отменено</source>
        <translation>Cancelled</translation>
    </message>
</context>
<context>
    <name>FtpFetch</name>
    <message>
        <source>нет памяти для соединения</source>
        <translation>out of memory for the connection</translation>
    </message>
</context>
<context>
    <name>FtpUploader</name>
    <message>
        <source>неверный логин или пароль</source>
        <translation>wrong login or password</translation>
    </message>
    <message>
        <source>сервер не найден (%1)</source>
        <translation>server not found (%1)</translation>
    </message>
    <message>
        <source>нет соединения с сервером (%1)</source>
        <translation>no connection to the server (%1)</translation>
    </message>
    <message>
        <source>сервер не отвечает (%1)</source>
        <translation>the server does not answer (%1)</translation>
    </message>
    <message>
        <source>ключ сервера не совпадает с записанным в ~/.ssh/known_hosts (%1); если ключ сменили на сервере, удалите его строку из этого файла</source>
        <translation>the server&apos;s key differs from the one in ~/.ssh/known_hosts (%1); if the key was changed on the server, remove its line from that file</translation>
    </message>
    <message>
        <source>сертификат сервера не прошёл проверку (%1); если у сервера самоподписанный сертификат, отметьте «Не проверять сертификат»</source>
        <translation>the server&apos;s certificate failed the check (%1); if the server has a self-signed certificate, tick &quot;Do not check the certificate&quot;</translation>
    </message>
    <message>
        <source>%1; ответ сервера: %2</source>
        <translation>%1; the server answered: %2</translation>
    </message>
    <message>
        <source>Не удалось запустить выгрузку на %1</source>
        <translation>Could not start the upload to %1</translation>
    </message>
    <message>
        <source>Адрес %1 не поддерживается: нужен ftp://, ftps:// или sftp:// с именем сервера</source>
        <translation>The address %1 is not supported: it must be ftp://, ftps:// or sftp:// with a server name</translation>
    </message>
    <message>
        <source>В адресе %1 нет имени файла</source>
        <translation>The address %1 names no file</translation>
    </message>
    <message>
        <source>Имя %1 содержит управляющие символы</source>
        <translation>The name %1 holds control characters</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл %1</source>
        <translation>Could not read the file %1</translation>
    </message>
    <message>
        <source>Выгрузка файла %1</source>
        <translation>Uploading the file %1</translation>
    </message>
    <message>
        <source>Выгрузка %1 отменена</source>
        <translation>Upload of %1 cancelled</translation>
    </message>
    <message>
        <source>Файл %1 выгружен на %2, но не переименован: %3</source>
        <translation>The file %1 was uploaded to %2 but not renamed: %3</translation>
    </message>
    <message>
        <source>Не удалось выгрузить файл %1 на %2: %3</source>
        <translation>Could not upload the file %1 to %2: %3</translation>
    </message>
    <message>
        <source>Проверка соединения</source>
        <translation>Checking the connection</translation>
    </message>
    <message>
        <source>Неверный логин или пароль</source>
        <translation>Wrong login or password</translation>
    </message>
    <message>
        <source>Проверка соединения с %1 отменена</source>
        <translation>Connection check with %1 cancelled</translation>
    </message>
    <message>
        <source>сервер не разрешает переименование файлов: %1</source>
        <translation>the server does not allow renaming files: %1</translation>
    </message>
    <message>
        <source>Файл %1 выгружен на %2, но не переименован: %3; прежний файл остался на сервере под именем %4</source>
        <translation>The file %1 was uploaded to %2 but not renamed: %3; the previous file remains on the server under the name %4</translation>
    </message>
    <message>
        <source>Старые временные файлы в %1: удалено %2 из %3</source>
        <translation>Old temporary files in %1: %2 of %3 removed</translation>
    </message>
    <message>
        <source>Сервер не отвечает на порту %1</source>
        <translation>The server does not answer on port %1</translation>
    </message>
    <message>
        <source>Сервер %1 не найден</source>
        <translation>Server %1 not found</translation>
    </message>
    <message>
        <source>Соединение разорвано во время передачи</source>
        <translation>The connection was broken during the transfer</translation>
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
    <name>GoodChangeText</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Этого товара нет в данных: он есть только в базе %1 и будет удалён с сайта.</source>
        <translation>This good is not in the data: only the base %1 holds it, and it will be deleted from the site.</translation>
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
        <source>Категории в фиде</source>
        <translation>Categories in the feed</translation>
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
        <source>Описание</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>Картинка</source>
        <translation>Picture</translation>
    </message>
    <message>
        <source>Ссылка</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>Код товара</source>
        <translation>Product code</translation>
    </message>
    <message>
        <source>Шаблон идентификатора</source>
        <translation>Identity template</translation>
    </message>
    <message>
        <source>Статус в фиде</source>
        <translation>Status in the feed</translation>
    </message>
    <message>
        <source>%1 (в фиде: %2)</source>
        <translation>%1 (in the feed: %2)</translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Статус</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Нет изображения</source>
        <translation>No picture</translation>
    </message>
    <message>
        <source>Копировать</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>В базе: %1</source>
        <translation>In the base: %1</translation>
    </message>
    <message>
        <source>Изменилось по сравнению с базой:</source>
        <translation>Changed since the base:</translation>
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
    <message>
        <source>Нет изображения</source>
        <translation>No picture</translation>
    </message>
    <message>
        <source>по ссылке: %1</source>
        <translation>by link: %1</translation>
    </message>
    <message>
        <source>по магазину и id: %1</source>
        <translation>by shop and id: %1</translation>
    </message>
    <message>
        <source>по магазину и названию: %1</source>
        <translation>by shop and name: %1</translation>
    </message>
    <message>
        <source>нет: товар ни с чем не сравнивается</source>
        <translation>none: the good is compared with nothing</translation>
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
    <message>
        <source>Файл %1 изменился после загрузки: загрузите его заново</source>
        <translation>The file %1 changed after it was loaded: load it again</translation>
    </message>
    <message>
        <source>Сохранение отменено</source>
        <translation>Saving cancelled</translation>
    </message>
    <message>
        <source>Не удалось прочитать строк: %1 из %2: файл %3 изменился после загрузки</source>
        <translation>Could not read %1 of %2 rows: the file %3 changed after it was loaded</translation>
    </message>
    <message>
        <source>Сохранение каталога</source>
        <translation>Saving the catalogue</translation>
    </message>
    <message>
        <source>Каталог сохранён</source>
        <translation>Catalogue saved</translation>
    </message>
</context>
<context>
    <name>ImageLoader</name>
    <message>
        <source>по адресу %1 не картинка</source>
        <translation>what %1 holds is not a picture</translation>
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
    <name>Keyring</name>
    <message>
        <source>хранилище паролей не ответило за %1 с</source>
        <translation>the keyring did not answer within %1 s</translation>
    </message>
    <message>
        <source>программа собрана без хранилища паролей системы</source>
        <translation>the program was built without the system&apos;s keyring</translation>
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
        <source>Офферы</source>
        <translation>Offers</translation>
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
        <source>Действия</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>Файл проекта Fidmora</source>
        <translation>Fidmora project</translation>
    </message>
    <message>
        <source>Язык интерфейса</source>
        <translation>Interface language</translation>
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
    <message>
        <source>&amp;Файл</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Вид</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Язык интерфейса</source>
        <translation>&amp;Interface language</translation>
    </message>
    <message>
        <source>&amp;Офферы</source>
        <translation>&amp;Offers</translation>
    </message>
    <message>
        <source>&amp;Импорт</source>
        <translation>&amp;Import</translation>
    </message>
    <message>
        <source>&amp;Экспорт</source>
        <translation>&amp;Export</translation>
    </message>
    <message>
        <source>Импорт &amp;базы</source>
        <translation>Import &amp;base</translation>
    </message>
    <message>
        <source>&amp;Трансформации</source>
        <translation>&amp;Transformations</translation>
    </message>
    <message>
        <source>&amp;Новый проект</source>
        <translation>&amp;New project</translation>
    </message>
    <message>
        <source>&amp;Сохранить проект</source>
        <translation>&amp;Save project</translation>
    </message>
    <message>
        <source>&amp;Удалить загруженные данные</source>
        <translation>&amp;Remove loaded data</translation>
    </message>
    <message>
        <source>В&amp;ыход</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Загрузить CSV &amp;всех офферов</source>
        <translation>Load &amp;all offers&apos; CSV</translation>
    </message>
    <message>
        <source>Удалить &amp;неиспользуемых офферов</source>
        <translation>Delete &amp;unused offers</translation>
    </message>
    <message>
        <source>&amp;Сохранить офферов</source>
        <translation>&amp;Save offers</translation>
    </message>
    <message>
        <source>&amp;Сохранить CSV</source>
        <translation>&amp;Save CSV</translation>
    </message>
    <message>
        <source>Сохранить CSV по &amp;категориям</source>
        <translation>Save CSV by &amp;categories</translation>
    </message>
    <message>
        <source>&amp;Русский</source>
        <translation>&amp;Russian</translation>
    </message>
    <message>
        <source>&amp;Английский</source>
        <translation>&amp;English</translation>
    </message>
    <message>
        <source>Удалить &amp;дубли</source>
        <translation>Remove &amp;duplicates</translation>
    </message>
    <message>
        <source>Проект не открыт</source>
        <translation>Project not opened</translation>
    </message>
    <message>
        <source>&amp;Файлы</source>
        <translation>&amp;Files</translation>
    </message>
    <message>
        <source>&amp;Категории</source>
        <translation>&amp;Categories</translation>
    </message>
    <message>
        <source>Выполнено, пропущено строк: %1</source>
        <translation>Done, rows passed over: %1</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Операция не выполнена: причина неизвестна</source>
        <translation>The operation failed for a reason unknown</translation>
    </message>
    <message>
        <source>Сделано не всё:</source>
        <translation>Not everything was done:</translation>
    </message>
    <message>
        <source>Предупреждение</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>И ещё предупреждений: %1</source>
        <translation>And more warnings: %1</translation>
    </message>
    <message>
        <source>Категорий: %1. Товаров: %2. Добавлено: %3. Изменено: %4. Удалено: %5.</source>
        <translation>Categories: %1. Goods: %2. Added: %3. Changed: %4. Deleted: %5.</translation>
    </message>
    <message>
        <source>Каталог YML или dc_catalog</source>
        <translation>YML or dc_catalog catalogue</translation>
    </message>
    <message>
        <source>Все файлы</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>Загрузка офферов из Admitad отменена</source>
        <translation>Loading offers from Admitad cancelled</translation>
    </message>
    <message>
        <source>Сервис временно недоступен</source>
        <translation>The service is not available for now</translation>
    </message>
    <message>
        <source>Изменить адрес сервиса...</source>
        <translation>Change the service address...</translation>
    </message>
    <message>
        <source>Внутренняя ошибка</source>
        <translation>Internal error</translation>
    </message>
    <message>
        <source>Загрузка офферов</source>
        <translation>Loading the offers</translation>
    </message>
    <message>
        <source>Офферы из Admitad загружены: новых %1, уже были в проекте %2</source>
        <translation>Offers from Admitad loaded: %1 new, %2 already in the project</translation>
    </message>
    <message>
        <source>список офферов из Admitad не прочитан: %1</source>
        <translation>the list of offers from Admitad was not read: %1</translation>
    </message>
    <message>
        <source>Сохранено в файл %1</source>
        <translation>Saved to the file %1</translation>
    </message>
    <message>
        <source>Сохранено файлов в папку %1: %2</source>
        <translation>Files saved to the folder %1: %2</translation>
    </message>
    <message>
        <source>Неиспользуемых офферов нет</source>
        <translation>There are no unused offers</translation>
    </message>
    <message>
        <source>Удалить офферы без товаров и без правил: %1?</source>
        <translation>Delete the offers without goods and without rules: %1?</translation>
    </message>
    <message>
        <source>Удалить оффер «%1» вместе с его правилами и товарами?</source>
        <translation>Delete the offer &quot;%1&quot; with its rules and goods?</translation>
    </message>
    <message>
        <source>Удалить оффер «%1» вместе с его правилами?</source>
        <translation>Delete the offer &quot;%1&quot; with its rules?</translation>
    </message>
    <message>
        <source>&amp;Загрузить CSV оффера</source>
        <translation>&amp;Load the offer&apos;s CSV</translation>
    </message>
    <message>
        <source>Вы&amp;грузить товары оффера</source>
        <translation>U&amp;nload the offer&apos;s goods</translation>
    </message>
    <message>
        <source>&amp;Редактировать оффера</source>
        <translation>&amp;Edit the offer</translation>
    </message>
    <message>
        <source>&amp;Удалить оффера</source>
        <translation>&amp;Delete the offer</translation>
    </message>
    <message>
        <source>Сделать &amp;реальной</source>
        <translation>Make &amp;real</translation>
    </message>
    <message>
        <source>Сделать &amp;призрачной</source>
        <translation>Make &amp;ghost</translation>
    </message>
    <message>
        <source>&amp;Удалить категорию</source>
        <translation>&amp;Delete the category</translation>
    </message>
    <message>
        <source>Подтверждение</source>
        <translation>Confirmation</translation>
    </message>
    <message>
        <source>Несохранённые изменения</source>
        <translation>Unsaved changes</translation>
    </message>
    <message>
        <source>В проекте %1 есть несохранённые изменения. Сохранить их?</source>
        <translation>The project %1 has unsaved changes. Save them?</translation>
    </message>
    <message>
        <source>Автосохранение не удалось: %1</source>
        <translation>The autosave failed: %1</translation>
    </message>
    <message>
        <source>Начать новый проект? Офферы (%1) и их правила будут удалены.</source>
        <translation>Start a new project? The offers (%1) and their rules will be removed.</translation>
    </message>
    <message>
        <source>Проект сохранён в файл %1</source>
        <translation>Project saved to the file %1</translation>
    </message>
    <message>
        <source>Отчёт об &amp;изменениях</source>
        <translation>C&amp;hange report</translation>
    </message>
    <message>
        <source>Открыть отчёт об изменениях</source>
        <translation>Open the change report</translation>
    </message>
    <message>
        <source>Отчёт об изменениях записан: %1</source>
        <translation>Change report written: %1</translation>
    </message>
    <message>
        <source>Отчёт об изменениях</source>
        <translation>Change report</translation>
    </message>
    <message>
        <source>Отчёт записан, но браузер не открылся: %1</source>
        <translation>The report was written, but the browser did not open: %1</translation>
    </message>
    <message>
        <source>О&amp;бновить всё</source>
        <translation>Re&amp;load all</translation>
    </message>
    <message>
        <source>Загрузить источники проекта снова (%1)?</source>
        <translation>Load the project&apos;s sources again (%1)?</translation>
    </message>
    <message>
        <source>В проекте нет источников: загрузите фиды и базы, и проект их запомнит</source>
        <translation>The project has no sources: load feeds and bases, and the project remembers them</translation>
    </message>
    <message>
        <source>Пароль сайта</source>
        <translation>Site password</translation>
    </message>
    <message>
        <source>Пароль для сайта %1:</source>
        <translation>Password for the site %1:</translation>
    </message>
    <message>
        <source>Поиск по названию, производителю и id (Ctrl+F)</source>
        <translation>Search by name, vendor and id (Ctrl+F)</translation>
    </message>
    <message>
        <source>Показать только добавленные товары</source>
        <translation>Show only the added goods</translation>
    </message>
    <message>
        <source>Показать только изменённые товары</source>
        <translation>Show only the changed goods</translation>
    </message>
    <message>
        <source>Показать только удалённые товары</source>
        <translation>Show only the deleted goods</translation>
    </message>
    <message>
        <source>Fidmora собирает товарные фиды рекламодателей в один каталог, сравнивает его с тем, что уже есть на сайте, и выгружает только изменения: в CSV, по FTP или прямо на сайт. Начните с фида или откройте проект.</source>
        <translation>Fidmora gathers advertisers&apos; product feeds into one catalogue, compares it with what your site already holds and exports only the changes: to CSV, by FTP or straight into the site. Start with a feed or open a project.</translation>
    </message>
    <message>
        <source>&amp;Добавить фид…</source>
        <translation>&amp;Add a feed…</translation>
    </message>
    <message>
        <source>&amp;Открыть проект…</source>
        <translation>&amp;Open project…</translation>
    </message>
    <message>
        <source>Открыть &amp;пример</source>
        <translation>Open the exam&amp;ple</translation>
    </message>
    <message>
        <source>&amp;Последние проекты</source>
        <translation>Recen&amp;t projects</translation>
    </message>
    <message>
        <source>&amp;Файл CSV</source>
        <translation>&amp;CSV file</translation>
    </message>
    <message>
        <source>Все категории</source>
        <translation>All categories</translation>
    </message>
    <message>
        <source>Сохранить проект &amp;как…</source>
        <translation>Save project &amp;as…</translation>
    </message>
    <message>
        <source>Загрузить офферов &amp;из Admitad</source>
        <translation>Load offers from Ad&amp;mitad</translation>
    </message>
    <message>
        <source>&amp;Добавить CSV</source>
        <translation>Add &amp;CSV</translation>
    </message>
    <message>
        <source>Добавить по &amp;адресу URL</source>
        <translation>Add by &amp;URL</translation>
    </message>
    <message>
        <source>Modx &amp;с Fidmora</source>
        <translation>&amp;Modx with Fidmora</translation>
    </message>
    <message>
        <source>&amp;По FTP</source>
        <translation>By &amp;FTP</translation>
    </message>
    <message>
        <source>Из &amp;файла CSV</source>
        <translation>From a &amp;CSV file</translation>
    </message>
    <message>
        <source>По &amp;адресу URL</source>
        <translation>By &amp;URL</translation>
    </message>
    <message>
        <source>Выполнено, добавлено товаров: %1, пропущено строк: %2</source>
        <translation>Done, goods added: %1, rows skipped: %2</translation>
    </message>
    <message>
        <source>Выполнено, добавлено товаров: %1</source>
        <translation>Done, goods added: %1</translation>
    </message>
    <message>
        <source>Отменено</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>Поиск…</source>
        <translation>Searching…</translation>
    </message>
    <message>
        <source>Поиск… %1%</source>
        <translation>Searching… %1%</translation>
    </message>
    <message>
        <source>Найдено: %1</source>
        <translation>Found: %1</translation>
    </message>
    <message>
        <source>Добавлено: %1</source>
        <translation>Added: %1</translation>
    </message>
    <message>
        <source>Изменено: %1</source>
        <translation>Changed: %1</translation>
    </message>
    <message>
        <source>Удалено: %1</source>
        <translation>Deleted: %1</translation>
    </message>
    <message>
        <source>Удалить категорию «%1» со всеми подкатегориями? Товаров в ней: %2.</source>
        <translation>Delete the category “%1” with all its subcategories? Goods in it: %2.</translation>
    </message>
    <message>
        <source>Выполнено, удалено дублей: %1</source>
        <translation>Done, duplicates removed: %1</translation>
    </message>
    <message>
        <source>Удалить все загруженные данные? Товаров: %1. Офферы и их правила останутся.</source>
        <translation>Delete all loaded data? Goods: %1. The offers and their rules stay.</translation>
    </message>
    <message>
        <source>Открыть проект</source>
        <translation>Open project</translation>
    </message>
    <message>
        <source>Проект не найден</source>
        <translation>Project not found</translation>
    </message>
    <message>
        <source>Файла проекта %1 больше нет; он убран из списка последних проектов.</source>
        <translation>The project file %1 is gone; it was removed from the recent projects.</translation>
    </message>
    <message>
        <source>Примеры не установлены вместе с программой</source>
        <translation>The examples were not installed with the program</translation>
    </message>
    <message>
        <source>Пример не скопирован в %1</source>
        <translation>The example could not be copied to %1</translation>
    </message>
    <message>
        <source>Сохранить проект как</source>
        <translation>Save project as</translation>
    </message>
    <message>
        <source>От&amp;крыть проект…</source>
        <translation>Open pro&amp;ject…</translation>
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
    <message>
        <source>%1 не является обычным файлом</source>
        <translation>%1 is not a regular file</translation>
    </message>
    <message>
        <source>Не удалось создать временный файл для %1</source>
        <translation>Could not create a temporary file for %1</translation>
    </message>
    <message>
        <source>Каталог %1: товаров без категории или с категорией, которой в нём нет: %2; они не загружены</source>
        <translation>Catalogue %1: goods without a category or with a category it does not define: %2; they were not loaded</translation>
    </message>
    <message>
        <source>Категория «%1» сохранена в файл %2: имя %3.csv уже занято другой категорией</source>
        <translation>The category &quot;%1&quot; was saved to the file %2: the name %3.csv is taken by another category</translation>
    </message>
    <message>
        <source>Адрес %1 не поддерживается: нужен ftp://, ftps:// или sftp:// с именем сервера</source>
        <translation>The address %1 is not supported: it must be ftp://, ftps:// or sftp:// with a server name</translation>
    </message>
    <message>
        <source>Не удалось создать временную папку в %1: %2</source>
        <translation>Could not create a temporary folder in %1: %2</translation>
    </message>
    <message>
        <source>Выгружено файлов: %1</source>
        <translation>Files uploaded: %1</translation>
    </message>
    <message>
        <source>Не удалось создать временную папку в %1</source>
        <translation>Could not create a temporary folder in %1</translation>
    </message>
    <message>
        <source>не удалось записать файл %1</source>
        <translation>could not write the file %1</translation>
    </message>
    <message>
        <source>С сайта %1 прочитано %2 строк из %3: %4</source>
        <translation>%2 of %3 rows read from the site %1: %4</translation>
    </message>
    <message>
        <source>С сайта %1 прочитано строк: %2</source>
        <translation>Rows read from the site %1: %2</translation>
    </message>
    <message>
        <source>Выгрузка на сайт %1 отменена; сайт принял строк: %2</source>
        <translation>Writing to the site %1 cancelled; rows the site took: %2</translation>
    </message>
    <message>
        <source>Сайт принял все строки: добавлено %1, изменено %2, удалено %3</source>
        <translation>The site took every row: %1 added, %2 changed, %3 deleted</translation>
    </message>
    <message>
        <source>Файл %1 не является таблицей CSV: в его первой строке есть нулевые байты</source>
        <translation>The file %1 is not a CSV table: its first line holds null bytes</translation>
    </message>
    <message>
        <source>Файл %1 начинается как документ XML, но его корневой элемент не найден в первых 64 КБ; загружаются таблицы CSV и каталоги YML и dc_catalog</source>
        <translation>The file %1 begins as an XML document, but its document element is not within its first 64 KB; CSV tables and YML and dc_catalog catalogues are loaded</translation>
    </message>
    <message>
        <source>Файл %1 — документ XML &lt;%2&gt;, а не фид: загружаются таблицы CSV и каталоги YML (yml_catalog) и dc_catalog</source>
        <translation>The file %1 is an XML document &lt;%2&gt;, not a feed: CSV tables and YML (yml_catalog) and dc_catalog catalogues are loaded</translation>
    </message>
    <message>
        <source>%1: файл в кодировке windows-1251 перекодирован в UTF-8</source>
        <translation>%1: the file in windows-1251 was converted to UTF-8</translation>
    </message>
    <message>
        <source>Заголовок файла %1 не читается: кавычка в нём не закрыта до конца файла или в нём поле больше 64 МБ</source>
        <translation>The header of the file %1 cannot be read: a quote in it stays open to the end of the file, or it holds a field over 64 MB</translation>
    </message>
    <message>
        <source>Источник %1 из %2: %3</source>
        <translation>Source %1 of %2: %3</translation>
    </message>
    <message>
        <source>Загрузка источников отменена</source>
        <translation>Loading the sources cancelled</translation>
    </message>
    <message>
        <source>Источник %1 не загружен: файла больше нет</source>
        <translation>Source %1 not loaded: the file is gone</translation>
    </message>
    <message>
        <source>Источник %1 не загружен: у оффера нет адреса фида или его нет в проекте</source>
        <translation>Source %1 not loaded: the offer has no feed address or is not in the project</translation>
    </message>
    <message>
        <source>Правила оффера %1 применены: товаров %2, перенесено %3, убрано %4</source>
        <translation>Rules of offer %1 applied: %2 goods, %3 moved, %4 removed</translation>
    </message>
    <message>
        <source>Базы не загружены: нет данных источника %1, и все его товары на сайте стали бы удалёнными</source>
        <translation>Bases not loaded: the data of the source %1 is missing, and all its goods on the site would look deleted</translation>
    </message>
</context>
<context>
    <name>ModxExportDialog</name>
    <message>
        <source>Соединение с MODX сайтом</source>
        <translation>Connection to the MODX site</translation>
    </message>
    <message>
        <source>Хост</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>Логин</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Обмен с сайтом не выполнен</source>
        <translation>The exchange with the site failed</translation>
    </message>
    <message>
        <source>Пароль будет записан в файл проекта открытым текстом</source>
        <translation>The password will be written into the project file as plain text</translation>
    </message>
    <message>
        <source>Запомнить пароль</source>
        <translation>Remember the password</translation>
    </message>
</context>
<context>
    <name>ModxManager</name>
    <message>
        <source>Обмен с сайтом %1 отменён</source>
        <translation>Exchange with the site %1 cancelled</translation>
    </message>
    <message>
        <source>Не удалось соединиться с </source>
        <translation>Could not connect to </translation>
    </message>
    <message>
        <source>Не удалось соединиться с %1: %2</source>
        <translation>Could not connect to %1: %2</translation>
    </message>
    <message>
        <source>Соединение с %1...</source>
        <translation>Connecting to %1...</translation>
    </message>
    <message>
        <source>Не удалось подключиться</source>
        <translation>Could not connect</translation>
    </message>
    <message>
        <source>Сайт %1 не принял вход: %2</source>
        <translation>The site %1 refused the login: %2</translation>
    </message>
    <message>
        <source>Получение конфигурации...</source>
        <translation>Getting the configuration...</translation>
    </message>
    <message>
        <source>Конфигурация не получена!</source>
        <translation>No configuration received!</translation>
    </message>
    <message>
        <source>Сайт %1 не прислал конфигурацию: %2</source>
        <translation>The site %1 sent no configuration: %2</translation>
    </message>
    <message>
        <source>Сайт %1 не назвал ни одной колонки</source>
        <translation>The site %1 named no column</translation>
    </message>
    <message>
        <source>Сайт %1 прислал неверный размер порции: %2</source>
        <translation>The site %1 sent a wrong chunk size: %2</translation>
    </message>
    <message>
        <source>Сайт %1 прислал неверное число строк</source>
        <translation>The site %1 sent a wrong number of rows</translation>
    </message>
    <message>
        <source>Ответ сервера: </source>
        <translation>Server&apos;s answer: </translation>
    </message>
    <message>
        <source>Подробно: </source>
        <translation>Details: </translation>
    </message>
    <message>
        <source>Сайт перенаправляет запросы на другой адрес</source>
        <translation>The site sends its requests on to another address</translation>
    </message>
    <message>
        <source>Сайт %1 перенаправляет запросы на %2: укажите этот адрес (HTTP %3)</source>
        <translation>The site %1 sends its requests on to %2: give that address (HTTP %3)</translation>
    </message>
    <message>
        <source>Нет связи с сайтом</source>
        <translation>The site cannot be reached</translation>
    </message>
    <message>
        <source>База данных сайта недоступна</source>
        <translation>The site&apos;s database is not available</translation>
    </message>
    <message>
        <source>Неверный логин или пароль</source>
        <translation>Wrong login or password</translation>
    </message>
    <message>
        <source>Сайт закрыл доступ к скрипту обмена</source>
        <translation>The site refuses access to its exchange script</translation>
    </message>
    <message>
        <source>Скрипт обмена не найден по этому адресу</source>
        <translation>No exchange script was found at this address</translation>
    </message>
    <message>
        <source>Слишком много попыток входа, повторите позже</source>
        <translation>Too many login attempts, try again later</translation>
    </message>
    <message>
        <source>Скрипт обмена на сайте завершился с ошибкой PHP</source>
        <translation>The site&apos;s exchange script stopped with a PHP error</translation>
    </message>
    <message>
        <source>Скрипт обмена на сайте завершился с ошибкой</source>
        <translation>The site&apos;s exchange script stopped with an error</translation>
    </message>
    <message>
        <source>Сайт ответил ошибкой %1</source>
        <translation>The site answered with error %1</translation>
    </message>
    <message>
        <source>ответ сайта: %1</source>
        <translation>the site&apos;s answer: %1</translation>
    </message>
    <message>
        <source>Сайт прислал пустой ответ</source>
        <translation>The site sent an empty answer</translation>
    </message>
    <message>
        <source>Сайт ответил веб-страницей, а не скриптом обмена</source>
        <translation>The site answered with a web page, not with its exchange script</translation>
    </message>
    <message>
        <source>Ответ сайта не удалось прочитать</source>
        <translation>The site&apos;s answer could not be read</translation>
    </message>
    <message>
        <source>Сайт прислал ответ не того вида, что ждёт программа</source>
        <translation>The site&apos;s answer is not of the form the program expects</translation>
    </message>
    <message>
        <source>Сайт не прислал свои настройки обмена</source>
        <translation>The site did not send its exchange settings</translation>
    </message>
    <message>
        <source>Сайт прислал неверную конфигурацию</source>
        <translation>The site sent a wrong configuration</translation>
    </message>
</context>
<context>
    <name>ModxReader</name>
    <message>
        <source>в порции с %1 строки нет строки %2</source>
        <translation>the chunk from row %1 lacks row %2</translation>
    </message>
    <message>
        <source>чтение отменено</source>
        <translation>reading cancelled</translation>
    </message>
    <message>
        <source>сайт не отдал строки с %1: %2</source>
        <translation>the site did not give the rows from %1: %2</translation>
    </message>
    <message>
        <source>в порции с %1 строки сайт прислал %2 годных строк из %3 (негодных %4)</source>
        <translation>in the chunk from row %1 the site sent %2 good rows of %3 (%4 bad)</translation>
    </message>
    <message>
        <source>Сайт прислал строки, которые не подходят к его колонкам</source>
        <translation>The site sent rows that do not fit its columns</translation>
    </message>
    <message>
        <source>Сайт не отдал свои товары</source>
        <translation>The site did not hand over its goods</translation>
    </message>
</context>
<context>
    <name>ModxWriter</name>
    <message>
        <source>Отправка на сайт строк %1–%2</source>
        <translation>Sending rows %1–%2 to the site</translation>
    </message>
    <message>
        <source>Завершение отправки на сайт</source>
        <translation>Finishing the sending to the site</translation>
    </message>
    <message>
        <source>отправка отменена</source>
        <translation>sending cancelled</translation>
    </message>
    <message>
        <source>строки %1–%2 не приняты: %3</source>
        <translation>rows %1–%2 were not taken: %3</translation>
    </message>
    <message>
        <source>отклонено строк: %1</source>
        <translation>rows refused: %1</translation>
    </message>
    <message>
        <source>Сайт не принял товар «%1»: %2</source>
        <translation>The site did not take the good &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Сайт %1 не принял %2 строк из %3</source>
        <translation>The site %1 did not take %2 of %3 rows</translation>
    </message>
    <message>
        <source>Сайт не принял часть товаров</source>
        <translation>The site did not take some of the goods</translation>
    </message>
</context>
<context>
    <name>OfferViewModel</name>
    <message>
        <source>(+): у оффера есть фид, он ещё не загружен. Загрузите его из контекстного меню оффера</source>
        <translation>(+): the offer has a feed that is not loaded yet. Load it from the offer&apos;s context menu</translation>
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
    <message>
        <source>Цена «от» (%1) больше цены «до» (%2).</source>
        <translation>The &quot;from&quot; price (%1) is above the &quot;to&quot; price (%2).</translation>
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
        <source>Файл %1 не является проектом Fidmora</source>
        <translation>The file %1 is not a Fidmora project</translation>
    </message>
    <message>
        <source>%1 не является обычным файлом</source>
        <translation>%1 is not a regular file</translation>
    </message>
    <message>
        <source>Не удалось создать файл проекта %1: %2</source>
        <translation>Could not create the project file %1: %2</translation>
    </message>
    <message>
        <source>Не удалось записать файл проекта %1</source>
        <translation>Could not write the project file %1</translation>
    </message>
    <message>
        <source>Не удалось записать файл проекта %1: %2</source>
        <translation>Could not write the project file %1: %2</translation>
    </message>
    <message>
        <source>Файл проекта %1 повреждён: %2</source>
        <translation>The project file %1 is damaged: %2</translation>
    </message>
    <message>
        <source>Не удалось закрыть файл проекта %1 от других пользователей: %2</source>
        <translation>Could not make the project file %1 private to its owner: %2</translation>
    </message>
</context>
<context>
    <name>ProjectSession</name>
    <message>
        <source>Открыт автосохранённый проект; файл %1 остаётся как есть.</source>
        <translation>The autosaved project is open; the file %1 stays as it is.</translation>
    </message>
    <message>
        <source>Файл %1 остаётся как есть.</source>
        <translation>The file %1 stays as it is.</translation>
    </message>
    <message>
        <source>Файл %1 остаётся как есть: автосохранение будет записываться в файл %2.</source>
        <translation>The file %1 stays as it is: the autosave will be written to the file %2.</translation>
    </message>
    <message>
        <source>Товары</source>
        <translation>Goods</translation>
    </message>
    <message>
        <source>Не удалось сохранить проект в файл %1</source>
        <translation>Could not save the project to %1</translation>
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
    <name>RememberedPassword</name>
    <message>
        <source>Хранилище паролей недоступно</source>
        <translation>Keyring not available</translation>
    </message>
    <message>
        <source>Хранилище паролей системы не отвечает: %1

Сохранить пароль в файле проекта? Файл проекта будет доступен для чтения только вам.</source>
        <translation>The system&apos;s keyring does not answer: %1

Keep the password in the project file? Only you will be able to read the project file.</translation>
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
    <name>ReplyWatchdog</name>
    <message>
        <source>%1 мин</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>запрос не завершился за %1</source>
        <translation>the request did not finish within %1</translation>
    </message>
    <message>
        <source>нет ответа %1</source>
        <translation>no answer for %1</translation>
    </message>
    <message>
        <source>загрузка остановилась: ни одного байта за %1</source>
        <translation>the transfer stalled: not a single byte for %1</translation>
    </message>
    <message>
        <source>загрузка остановилась: меньше %1 КБ за %2</source>
        <translation>the transfer stalled: less than %1 KB in %2</translation>
    </message>
</context>
<context>
    <name>RuleReapplier</name>
    <message>
        <source>Правила оффера %1: поиск товаров</source>
        <translation>Rules of offer %1: finding the goods</translation>
    </message>
    <message>
        <source>Применение правил оффера %1 отменено</source>
        <translation>Applying the rules of offer %1 cancelled</translation>
    </message>
    <message>
        <source>Файл %1 изменился после загрузки: загрузите его заново</source>
        <translation>File %1 changed after it was loaded: load it again</translation>
    </message>
    <message>
        <source>Правила оффера %1: чтение категорий товаров</source>
        <translation>Rules of offer %1: reading the goods&apos; categories</translation>
    </message>
    <message>
        <source>Строку товара оффера %1 не удалось прочитать: файл %2 изменился, загрузите его заново</source>
        <translation>A good&apos;s row of offer %1 could not be read: file %2 changed, load it again</translation>
    </message>
    <message>
        <source>Оффер %1: по новым правилам убрано товаров: %2</source>
        <translation>Offer %1: goods removed by the new rules: %2</translation>
    </message>
    <message>
        <source>Оффер %1: новые правила берут категории, товары которых при загрузке не взяты (%2: %3); они появятся, когда фиды загрузят снова</source>
        <translation>Offer %1: the new rules take categories whose goods were not loaded (%2: %3); they appear when the feeds are loaded again</translation>
    </message>
</context>
<context>
    <name>Source</name>
    <message>
        <source>Разные офферы</source>
        <translation>Various offers</translation>
    </message>
</context>
<context>
    <name>SourceRecord</name>
    <message>
        <source>фид оффера «%1»</source>
        <translation>the feed of offer &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>XmlElementWalker</name>
    <message>
        <source>объявления сущностей не поддерживаются</source>
        <translation>entity declarations are not supported</translation>
    </message>
    <message>
        <source>слишком глубокая вложенность элементов</source>
        <translation>elements nested too deep</translation>
    </message>
    <message>
        <source>строка %1, столбец %2: %3</source>
        <translation>line %1, column %2: %3</translation>
    </message>
    <message>
        <source>кодировка %1 не поддерживается</source>
        <translation>encoding %1 is not supported</translation>
    </message>
</context>
<context>
    <name>XmlUtf8Device</name>
    <message>
        <source>файл не удалось прочитать</source>
        <translation>the file could not be read</translation>
    </message>
    <message>
        <source>последний символ в кодировке %1 оборван</source>
        <translation>the last character in %1 is cut short</translation>
    </message>
    <message>
        <source>байт %1 не в кодировке %2</source>
        <translation>byte %1 is not in %2</translation>
    </message>
</context>
<context>
    <name>YmlConverter</name>
    <message>
        <source>Обработка каталога YML %1</source>
        <translation>Processing the YML catalogue %1</translation>
    </message>
    <message>
        <source>Загрузка %1 отменена</source>
        <translation>Loading of %1 cancelled</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл %1</source>
        <translation>Could not read the file %1</translation>
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
        <source>Обработка каталога YML %1: прочитано товаров: %2</source>
        <translation>Processing the YML catalogue %1: goods read: %2</translation>
    </message>
    <message>
        <source>В каталоге YML %1 объявлены сущности (строка %2): такие каталоги не загружаются</source>
        <translation>The YML catalogue %1 declares entities (line %2): such catalogues are not loaded</translation>
    </message>
    <message>
        <source>документ не завершён</source>
        <translation>the document is incomplete</translation>
    </message>
    <message>
        <source>Каталог YML %1 повреждён: строка %2, столбец %3: %4</source>
        <translation>The YML catalogue %1 is damaged: line %2, column %3: %4</translation>
    </message>
    <message>
        <source>Каталог YML %1: слишком длинный текст элемента (строка %2)</source>
        <translation>YML catalogue %1: the text of an element is too long (line %2)</translation>
    </message>
    <message>
        <source>Каталог YML %1: элементы вложены глубже %2 уровней (строка %3)</source>
        <translation>YML catalogue %1: elements nested deeper than %2 levels (line %3)</translation>
    </message>
    <message>
        <source>Файл %1 не является каталогом YML: его элемент верхнего уровня — %2</source>
        <translation>The file %1 is not a YML catalogue: its top-level element is %2</translation>
    </message>
    <message>
        <source>%1 не является обычным файлом</source>
        <translation>%1 is not a regular file</translation>
    </message>
</context>
</TS>
