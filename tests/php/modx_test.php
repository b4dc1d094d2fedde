<?php
// Checks of the site script's MODX mode against a private MariaDB loaded
// with the miniShop2 tables, over HTTP, and the program's own client end to
// end (fidmora-cli). Skipped (status 77) only when MariaDB is not installed.
//   php modx_test.php SERVER_DIR FIDMORA_CLI
declare(strict_types=1);

require __DIR__ . '/site.php';

$serverDir = realpath($argv[1] ?? dirname(__DIR__, 2) . "/server");
$cli = $argv[2] ?? '';
if (($missing = PrivateMariaDb::missing()) !== null) {
    echo "SKIP: $missing\n";
    exit(77);
}
$root = sys_get_temp_dir() . '/fidmora-modx-test-' . getmypid();
mkdir("$root/cache/resource/web/resources", 0700, true);
mkdir("$root/cache/context_settings/web", 0700, true);
register_shutdown_function(function () use ($root) {
    global $site, $database;
    $site = null;
    $database = null;
    exec('rm -rf ' . escapeshellarg($root));
});
$database = new PrivateMariaDb($root);
$shop = $database->load('shop', __DIR__ . '/minishop2-schema.sql');
$settings = [
    'login' => 'admin', 'passwordHash' => password_hash('secret', PASSWORD_DEFAULT, ['cost' => 4]),
    'dsn' => $database->dsn('shop'), 'dbUser' => 'root', 'dbPassword' => '', 'mode' => 'modx', 'chunkSize' => 50,
    'sessionDir' => "$root/sessions",
    'modx' => ['catalogRoot' => 2, 'categoryTemplate' => 2, 'productTemplate' => 3, 'cachePath' => "$root/cache"],
];
$site = new ScriptServer($serverDir, $root, $settings);

$failures = 0;
function check(string $what, bool $ok, $detail = null): void
{
    global $failures;
    if (!$ok) {
        ++$failures;
        fwrite(STDERR, "FAIL: $what" . ($detail === null ? '' : ': ' . json_encode($detail, JSON_UNESCAPED_UNICODE)) . "\n");
    }
}
function rows(string $sql, array $values = []): array
{
    global $shop;
    $statement = $shop->prepare($sql);
    $statement->execute($values);
    return $statement->fetchAll();
}
$header = ['url', 'name', 'price', 'oldprice', 'categoryId', 'vendor', 'picture', 'description', 'id',
    'advcampaign_name', 'idTpl', 'status'];
// A protocol row from named cells; the rest empty.
function good(array $cells): array
{
    global $header;
    return array_map(fn($column) => (string)($cells[$column] ?? ''), $header);
}
function product(string $url): array
{
    return rows("SELECT c.*, p.price, p.old_price, p.article, p.image, v.name AS vendor, tu.value AS link, "
        . "ta.value AS offer, k.updated FROM modx_fidmora_keys k JOIN modx_site_content c ON c.id = k.resource "
        . "LEFT JOIN modx_ms2_products p ON p.id = c.id LEFT JOIN modx_ms2_vendors v ON v.id = p.vendor "
        . "LEFT JOIN modx_site_tmplvars t1 ON t1.name = 'affiliate_url' "
        . "LEFT JOIN modx_site_tmplvar_contentvalues tu ON tu.contentid = c.id AND tu.tmplvarid = t1.id "
        . "LEFT JOIN modx_site_tmplvars t2 ON t2.name = 'advertiser' "
        . "LEFT JOIN modx_site_tmplvar_contentvalues ta ON ta.contentid = c.id AND ta.tmplvarid = t2.id "
        . "JOIN (SELECT contentid FROM modx_site_tmplvar_contentvalues WHERE value = ?) w ON w.contentid = c.id", [$url])[0] ?? [];
}
function readAll(Client $client): array
{
    $all = [];
    for ($offset = 0; ; $offset += 50) {
        $reply = $client->post('data', ['limit' => 50, 'offset' => $offset]);
        if (($reply['success'] ?? false) !== true || $reply['object'] === [])
            return $all;
        array_push($all, ...$reply['object']);
    }
}
function cacheFiles(): array
{
    global $root;
    file_put_contents("$root/cache/resource/web/resources/2.cache.php", '<?php');
    file_put_contents("$root/cache/context_settings/web/context.cache.php", '<?php');
    file_put_contents("$root/cache/resource/web/notes.txt", 'kept');
    return ["$root/cache/resource/web/resources/2.cache.php", "$root/cache/context_settings/web/context.cache.php"];
}

// A product and a category of the site's owner, made in the manager: the
// script never changes them, even where its own goods have the same titles.
$shop->exec("INSERT INTO modx_site_content (id, pagetitle, alias, published, parent, isfolder, template, class_key, uri) "
    . "VALUES (10, 'Одежда', 'odezhda', 1, 2, 1, 2, 'msCategory', 'catalog/odezhda/'), "
    . "(11, 'Кофта', 'kofta', 1, 10, 0, 3, 'msProduct', 'catalog/odezhda/kofta.html')");
$shop->exec("INSERT INTO modx_ms2_products (id, article, price) VALUES (11, 'own-1', 500)");
$ownBefore = rows('SELECT * FROM modx_site_content WHERE id = 11');

$client = new Client($site->url());
[$status, $reply] = $client->call('configure', ['login' => 'admin']);
check('no session, no configuration', ($reply['success'] ?? true) === false, $reply);
[$status] = $client->call('update', [array_fill(0, 700, good(['url' => str_repeat('x', 100)]))]);
check('a large body without a session: 413', $status === 413, $status);
check('login', $client->post('login', ['login' => 'admin', 'password' => 'secret'])['success'] ?? false);
$reply = $client->post('configure', ['login' => 'admin']);
check('configure: the shop header, nothing managed yet', ($reply['object'] ?? null)
    === ['header' => $header, 'chunkSize' => 50, 'existDataSize' => 0], $reply);

// The first export: nested categories, Cyrillic, quotes, long and repeated
// titles, a vendor new to the shop and one it has, goods without a category
// level of their own.
$shop->exec("INSERT INTO modx_ms2_vendors (id, name) VALUES (7, 'Зима')");
$long = str_repeat('Очень длинное название ', 14);  // 322 letters, 600 bytes
$first = [
    good(['url' => 'https://a.test/1', 'name' => 'Кофта', 'price' => '1299', 'oldprice' => '1500,50',
        'categoryId' => 'Одежда/Кофты', 'vendor' => 'Зима', 'picture' => 'https://img.test/1.jpg',
        'description' => "Тёплая; \"мягкая\"\nвторая строка 😀", 'id' => 'A-1', 'advcampaign_name' => 'Магазин',
        'status' => '+']),
    good(['url' => 'https://a.test/2', 'name' => 'Кофта', 'price' => '999.9', 'categoryId' => 'Одежда/Кофты',
        'vendor' => 'Лето', 'id' => 'A-2', 'advcampaign_name' => 'Магазин', 'status' => '+']),
    good(['url' => 'https://a.test/3', 'name' => 'Кофта', 'price' => '10', 'categoryId' => 'Одежда/Кофты',
        'advcampaign_name' => 'Магазин', 'status' => '+']),
    good(['url' => 'https://a.test/4', 'name' => 'Шарф "Зимний" <b>&amp;</b>', 'price' => '1 200',
        'categoryId' => 'Одежда/Шарфы/Вязаные', 'vendor' => 'Лето', 'advcampaign_name' => 'Магазин', 'status' => '+']),
    good(['url' => 'https://a.test/5', 'name' => $long, 'price' => '5', 'categoryId' => "Обувь/$long",
        'advcampaign_name' => 'Другой', 'status' => '+']),
    good(['url' => 'https://a.test/6', 'name' => '!!!', 'price' => '', 'categoryId' => 'Обувь',
        'advcampaign_name' => 'Другой', 'status' => '+']),
    good(['name' => 'Без ссылки', 'id' => '77', 'price' => '7', 'categoryId' => 'Обувь', 'advcampaign_name' => 'Другой',
        'idTpl' => '[a][i]', 'status' => '+']),
    good(['url' => 'https://a.test/8', 'name' => 'Дорого', 'price' => '99999999999', 'categoryId' => 'Обувь']),
];
$cache = cacheFiles();
$reply = $client->post('update', $first);
$counts = $reply['object'] ?? [];
check('first export: counts', ($reply['success'] ?? false) === true && $counts['inserted'] === 7
    && $counts['rejected'] === 1 && $counts['categories'] === 5 && array_column($counts['reasons'], 'row') === [7], $reply);
check('first export: cache cleared', !file_exists($cache[0]) && !file_exists($cache[1])
    && file_exists("$root/cache/resource/web/notes.txt"));

$one = product('https://a.test/1');
$categories = rows("SELECT id, parent, pagetitle, alias, uri, published, isfolder, template FROM modx_site_content "
    . "WHERE class_key = 'msCategory' ORDER BY id");
$byTitle = array_column($categories, null, 'pagetitle');
check('the owner\'s category is found by its place, not made again', $one['parent'] == $byTitle['Кофты']['id']
    && $byTitle['Кофты']['parent'] == 10 && count(array_filter($categories, fn($c) => $c['pagetitle'] === 'Одежда')) === 1,
    $categories);
check('categories: folders with the category template, uris below their parents',
    $byTitle['Кофты']['uri'] === 'catalog/odezhda/kofty/' && $byTitle['Вязаные']['uri'] === 'catalog/odezhda/sharfy/vyazanye/'
    && $byTitle['Обувь']['isfolder'] == 1 && $byTitle['Обувь']['template'] == 2, $categories);
check('product: resource fields', $one['class_key'] === 'msProduct' && $one['pagetitle'] === 'Кофта'
    && $one['template'] == 3 && $one['published'] == 1 && $one['createdon'] > 0 && $one['publishedon'] > 0
    && $one['content'] === "Тёплая; \"мягкая\"\nвторая строка 😀", $one);
check('product: shop data, vendor and TVs', $one['price'] === '1299.00' && $one['old_price'] === '1500.50'
    && $one['article'] === 'A-1' && $one['image'] === 'https://img.test/1.jpg' && $one['vendor'] === 'Зима'
    && $one['link'] === 'https://a.test/1' && $one['offer'] === 'Магазин', $one);
check('a vendor new to the shop is made once', count(rows("SELECT id FROM modx_ms2_vendors WHERE name = 'Лето'")) === 1
    && product('https://a.test/4')['vendor'] === 'Лето');
$uris = array_column(rows("SELECT uri FROM modx_site_content WHERE class_key = 'msProduct'"), 'uri');
check('repeated titles get unique addresses beside the owner\'s product',
    array_values(array_intersect($uris, ['catalog/odezhda/kofty/kofta.html', 'catalog/odezhda/kofty/kofta-2.html',
        'catalog/odezhda/kofty/kofta-3.html', 'catalog/odezhda/kofta.html'])) !== [] && count(array_unique($uris)) === count($uris)
    && product('https://a.test/3')['uri'] === 'catalog/odezhda/kofty/kofta-3.html', $uris);
$aliases = array_column(rows('SELECT alias FROM modx_site_content WHERE id > 11'), 'alias');
check('aliases are Latin letters, digits and "-", not too long', count(array_filter($aliases,
    fn($a) => preg_match('/^[a-z0-9]+(-[a-z0-9]+)*$/', $a) === 1 && strlen($a) <= 90)) === count($aliases), $aliases);
check('a long title is cut at 255 letters', preg_match_all('/./su', product('https://a.test/5')['pagetitle']) === 255);
check('the owner\'s product is left as it was', rows('SELECT * FROM modx_site_content WHERE id = 11') === $ownBefore);

// Read back: exactly what was written, in the site's header order.
$reply = $client->post('configure', ['login' => 'admin']);
check('configure counts the products', ($reply['object']['existDataSize'] ?? 0) === 7, $reply);
$read = readAll($client);
check('read back: every cell as written', $read === array_slice($first, 0, 7), $read);

// A second export of the same goods, one price changed: only that product
// is touched, and the cache stays.
$shop->exec('UPDATE modx_site_content SET editedon = 1 WHERE id > 11');
$shop->exec('UPDATE modx_fidmora_keys SET updated = 1');
$second = array_slice($first, 0, 7);
$second[1][2] = '899';
$cache = cacheFiles();
$reply = $client->post('update', $second);
check('second export: one changed', ($reply['object']['updated'] ?? 0) === 7 && $reply['object']['unchanged'] === 6, $reply);
$touched = rows('SELECT c.id FROM modx_site_content c WHERE c.editedon <> 1 AND id > 11');
check('second export: only that product touched', array_column($touched, 'id') == [product('https://a.test/2')['id']]
    && product('https://a.test/2')['price'] === '899.00' && count(rows('SELECT id FROM modx_fidmora_keys WHERE updated <> 1')) === 1,
    $touched);
check('second export: cache cleared', !file_exists($cache[0]));
$cache = cacheFiles();
$client->post('update', $second);
check('an export that changes nothing leaves the cache', file_exists($cache[0]));

// A delta: a product moves, one is deleted (the last of its category), one
// comes back; the emptied category is unpublished, never deleted.
$scarf = product('https://a.test/4');
$reply = $client->post('update', [
    good(['url' => 'https://a.test/3', 'name' => 'Кофта', 'price' => '10', 'categoryId' => 'Обувь',
        'advcampaign_name' => 'Магазин', 'status' => '~']),
    good(['url' => 'https://a.test/4', 'status' => '-']),
    good(['url' => 'https://a.test/404', 'status' => '-']),
]);
check('delta: counts', ($reply['object'] ?? null) !== null && $reply['object']['updated'] === 1
    && $reply['object']['deleted'] === 1 && $reply['object']['absent'] === 1, $reply);
$moved = product('https://a.test/3');
check('a moved product changes its parent and uri, keeping its alias', $moved['parent'] == $byTitle['Обувь']['id']
    && $moved['uri'] === 'catalog/obuv/kofta-3.html', $moved);
$binned = product('https://a.test/4');
check('a deleted good goes to the bin', $binned['published'] == 0 && $binned['deleted'] == 1 && $binned['deletedon'] > 0);
$left = array_column(rows('SELECT pagetitle, published FROM modx_site_content WHERE id IN (?, ?, ?)',
    [$byTitle['Вязаные']['id'], $byTitle['Шарфы']['id'], $byTitle['Одежда']['id']]), 'published', 'pagetitle');
check('emptied categories are unpublished up to one still showing goods',
    $left === ['Одежда' => 1, 'Шарфы' => 0, 'Вязаные' => 0], $left);
check('the bin is not read back', count(readAll($client)) === 6
    && ($client->post('configure', [])['object']['existDataSize'] ?? 0) === 6);
$reply = $client->post('update', [good(['url' => 'https://a.test/4', 'name' => 'Шарф', 'price' => '1',
    'categoryId' => 'Одежда/Шарфы/Вязаные', 'status' => '+'])]);
$back = product('https://a.test/4');
check('a good that comes back leaves the bin in its category, which shows again', $back['id'] === $scarf['id']
    && $back['deleted'] == 0 && $back['published'] == 1 && rows('SELECT published FROM modx_site_content WHERE id = ?',
    [$byTitle['Шарфы']['id']])[0]['published'] == 1, $back);

// A chunk that fails half way leaves nothing of itself; the answer names no SQL.
$shop->exec("CREATE TRIGGER boom BEFORE INSERT ON modx_ms2_products FOR EACH ROW "
    . "IF NEW.article = 'boom' THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'secret trigger text'; END IF");
$before = [rows('SELECT COUNT(*) n FROM modx_site_content'), rows('SELECT COUNT(*) n FROM modx_ms2_vendors'),
    rows('SELECT COUNT(*) n FROM modx_fidmora_keys'), rows('SELECT price FROM modx_ms2_products ORDER BY id')];
$reply = $client->post('update', [
    good(['url' => 'https://a.test/1', 'name' => 'Кофта', 'price' => '1', 'categoryId' => 'Одежда/Кофты', 'status' => '~']),
    good(['url' => 'https://a.test/20', 'name' => 'Новое', 'vendor' => 'Новый', 'categoryId' => 'Новое/Место', 'id' => 'boom']),
]);
check('failed chunk: refused with a short reason', ($reply['success'] ?? true) === false
    && !preg_match('/secret|trigger|SQL|INSERT/i', $reply['message'] ?? ''), $reply);
check('failed chunk: nothing of it stays', [rows('SELECT COUNT(*) n FROM modx_site_content'),
    rows('SELECT COUNT(*) n FROM modx_ms2_vendors'), rows('SELECT COUNT(*) n FROM modx_fidmora_keys'),
    rows('SELECT price FROM modx_ms2_products ORDER BY id')] === $before);
$shop->exec('DROP TRIGGER boom');

// New products whose ids the database does not give out in the order of the
// insert (here a trigger of the site sets them) are still told apart.
$shop->exec("CREATE TRIGGER own_ids BEFORE INSERT ON modx_site_content FOR EACH ROW "
    . "IF NEW.pagetitle LIKE 'Свой номер %' THEN SET NEW.id = 900000 + SUBSTRING_INDEX(NEW.pagetitle, ' ', -1); END IF");
$reply = $client->post('update', array_map(fn($n) => good(['url' => "https://own-id.test/$n", 'name' => "Свой номер $n",
    'price' => (string)$n, 'categoryId' => 'Свои', 'status' => '+']), [2, 1, 3]));
$shop->exec('DROP TRIGGER own_ids');
foreach ([1, 2, 3] as $n) {
    $got = product("https://own-id.test/$n");
    check("ids set by the site: product $n", ($reply['object']['inserted'] ?? 0) === 3 && ($got['id'] ?? 0) === 900000 + $n
        && $got['price'] === "$n.00", $got);
}

// Writers at once with the same new goods in new categories: each chunk is
// taken, each category and each product made once.
$writers = [];
$race = [];
for ($i = 0; $i < 300; ++$i)
    $race[] = good(['url' => "https://race.test/$i", 'name' => "Гонка $i", 'price' => '1',
        'categoryId' => 'Гонка/Раздел ' . ($i % 10), 'status' => '+']);
for ($w = 0; $w < 3; ++$w) {
    $writers[$w] = new Client($site->url());
    $writers[$w]->post('login', ['login' => 'admin', 'password' => 'secret']);
}
$sockets = array_map(fn($writer) => $writer->send('update', $race), $writers);
$inserted = array_sum(array_map(fn($socket) => Client::receive($socket)['object']['inserted'] ?? -1000, $sockets));
check('writers at once: each product made once', $inserted === 300 && (int)rows("SELECT COUNT(*) n FROM modx_site_content "
    . "WHERE pagetitle LIKE 'Гонка %' AND class_key = 'msProduct'")[0]['n'] === 300, $inserted);
check('writers at once: each category made once', (int)rows("SELECT COUNT(*) n FROM modx_site_content "
    . "WHERE class_key = 'msCategory' AND (pagetitle = 'Гонка' OR pagetitle LIKE 'Раздел %')")[0]['n'] === 11);

// Many products of one chunk changed each in its own way: new titles,
// descriptions, prices and offers, some moved to categories made by the same
// chunk, one offer cleared. Each product gets its own values, not another's.
$many = [];
for ($i = 1; $i <= 6; ++$i)
    $many[$i] = good(['url' => "https://many.test/$i", 'name' => "Пачка $i", 'price' => (string)(10 * $i),
        'categoryId' => 'Пачка/' . ($i % 2 ? 'Нечёт' : 'Чёт'), 'description' => "Было $i", 'advcampaign_name' => 'Склад',
        'status' => '+']);
$reply = $client->post('update', array_values($many));
check('many: made', ($reply['object']['inserted'] ?? 0) === 6, $reply);
$before = array_map(fn($i) => product("https://many.test/$i"), array_combine(array_keys($many), array_keys($many)));
$changed = [];
foreach ($many as $i => $row)
    $changed[$i] = good(['url' => "https://many.test/$i", 'name' => "Новое имя $i", 'price' => (string)(100 + $i),
        'categoryId' => [1 => 'Пачка/Нечёт', 2 => 'Пачка/Чёт', 3 => 'Пачка/Новая', 4 => 'Пачка/Новая/Глубже',
            5 => 'Пачка/Чёт', 6 => 'Пачка/Нечёт'][$i], 'description' => "Стало $i", 'advcampaign_name' => $i === 4 ? '' : "Склад $i",
        'status' => '~']);
$reply = $client->post('update', array_values($changed));
check('many: all updated', ($reply['object']['updated'] ?? 0) === 6 && $reply['object']['unchanged'] === 0
    && $reply['object']['categories'] === 2, $reply);
$paths = array_column(rows("SELECT id, uri FROM modx_site_content WHERE class_key = 'msCategory'"), 'uri', 'id');
foreach ($changed as $i => $row) {
    $after = product("https://many.test/$i");
    check("many: product $i has its own cells", $after['id'] === $before[$i]['id'] && $after['pagetitle'] === "Новое имя $i"
        && $after['content'] === "Стало $i" && $after['price'] === sprintf('%d.00', 100 + $i)
        && $after['offer'] === ($i === 4 ? null : "Склад $i"), $after);
    check("many: product $i lies in its category with its alias", $after['uri'] === $paths[$after['parent']] . $before[$i]['alias'] . '.html'
        && str_ends_with($paths[$after['parent']], ['', 'nechet/', 'chet/', 'novaya/', 'novaya/glubzhe/', 'chet/', 'nechet/'][$i]), $after);
}
$read = array_values(array_filter(readAll($client), fn($row) => str_starts_with($row[0], 'https://many.test/')));
check('many: read back as written', $read === array_values($changed), $read);

// Addresses held by the owner's pages in other letter case count as held
// (the database tells uris apart regardless of case), numbered ones too.
$shop->exec("INSERT INTO modx_site_content (pagetitle, alias, published, parent, class_key, uri) VALUES "
    . "('Кепка', 'Kepka', 1, 2, 'modDocument', 'catalog/Kepka.html'), ('Кепка', 'Kepka-3', 1, 2, 'modDocument', 'catalog/KEPKA-3.html')");
$client->post('update', array_map(fn($n) => good(['url' => "https://cap.test/$n", 'name' => 'Кепка', 'status' => '+']), [1, 2, 3, 4]));
$caps = array_map(fn($n) => product("https://cap.test/$n")['uri'] ?? '', [1, 2, 3, 4]);
check('repeated titles skip addresses held in another case', $caps === ['catalog/kepka-2.html', 'catalog/kepka-4.html',
    'catalog/kepka-5.html', 'catalog/kepka-6.html'], $caps);

// Rows of one chunk that name the same good twice are applied in their
// order, as if each chunk row were written on its own.
$twice = function (string $url, string $status, array $cells = []) {
    return good($cells + ['url' => $url, 'name' => 'Дважды', 'price' => '5', 'categoryId' => 'Дважды/Тут', 'status' => $status]);
};
$client->post('update', [$twice('https://twice.test/1', '+'), $twice('https://twice.test/2', '+'),
    $twice('https://twice.test/3', '+')]);
$ids = array_map(fn($n) => product("https://twice.test/$n")['id'], [1 => 1, 2 => 2, 3 => 3]);
$home = product('https://twice.test/3')['uri'];
$reply = $client->post('update', [
    $twice('https://twice.test/1', '~', ['price' => '6']), $twice('https://twice.test/1', '-'),
    $twice('https://twice.test/2', '-'), $twice('https://twice.test/2', '+', ['price' => '7']),
    $twice('https://twice.test/3', '~', ['categoryId' => 'Дважды/Там']), $twice('https://twice.test/3', '~'),
]);
check('twice: counts', ($reply['object']['updated'] ?? 0) === 4 && $reply['object']['deleted'] === 2, $reply);
foreach ([
    ['changed, then deleted: in the bin with the new price', 'https://twice.test/1', ['deleted' => 1, 'published' => 0, 'price' => '6.00']],
    ['deleted, then back: shown, the same resource', 'https://twice.test/2', ['id' => $ids[2], 'deleted' => 0, 'published' => 1, 'price' => '7.00']],
    ['moved and moved back: its address as it was', 'https://twice.test/3', ['id' => $ids[3], 'uri' => $home, 'deleted' => 0]],
] as [$what, $url, $expected]) {
    $got = product($url);
    check("twice: $what", array_intersect_key($got, $expected) == $expected, $got);
}

// A category emptied together with the one below it is unpublished too,
// whichever of the two the chunk empties first.
$client->post('update', [good(['url' => 'https://branch.test/1', 'name' => 'Ветка', 'categoryId' => 'Ветка', 'status' => '+']),
    good(['url' => 'https://branch.test/2', 'name' => 'Лист', 'categoryId' => 'Ветка/Лист', 'status' => '+'])]);
$client->post('update', [good(['url' => 'https://branch.test/1', 'status' => '-']),
    good(['url' => 'https://branch.test/2', 'status' => '-'])]);
$branch = array_column(rows("SELECT pagetitle, published FROM modx_site_content WHERE pagetitle IN ('Ветка', 'Лист') "
    . "AND class_key = 'msCategory'"), 'published', 'pagetitle');
check('an emptied category and the emptied one below it are both unpublished', $branch == ['Ветка' => 0, 'Лист' => 0], $branch);

// Removal when the configuration asks: the product and all of it go.
$site->configure(array_replace_recursive($settings, ['modx' => ['onDelete' => 'remove']]));
$gone = product('https://a.test/6')['id'];
$reply = $client->post('update', [good(['url' => 'https://a.test/6', 'status' => '-'])]);
check('removed with its data', ($reply['object']['deleted'] ?? 0) === 1 && rows('SELECT id FROM modx_site_content WHERE id = ? '
    . 'UNION SELECT id FROM modx_ms2_products WHERE id = ? UNION SELECT contentid FROM modx_site_tmplvar_contentvalues '
    . 'WHERE contentid = ? UNION SELECT resource FROM modx_fidmora_keys WHERE resource = ?', [$gone, $gone, $gone, $gone]) === []);
// Removal within a chunk that also changes or brings back the same good:
// nothing of a removed product is written after it.
$client->post('update', [$twice('https://twice.test/4', '+'), $twice('https://twice.test/5', '+')]);
$old = [4 => product('https://twice.test/4')['id'], 5 => product('https://twice.test/5')['id']];
$reply = $client->post('update', [$twice('https://twice.test/4', '~', ['price' => '8']), $twice('https://twice.test/4', '-'),
    $twice('https://twice.test/5', '-'), $twice('https://twice.test/5', '+', ['price' => '9'])]);
$left = fn(int $id) => rows('SELECT id FROM modx_site_content WHERE id = ? UNION ALL SELECT id FROM modx_ms2_products WHERE id = ? '
    . 'UNION ALL SELECT contentid FROM modx_site_tmplvar_contentvalues WHERE contentid = ? '
    . 'UNION ALL SELECT resource FROM modx_fidmora_keys WHERE resource = ?', [$id, $id, $id, $id]);
$again = product('https://twice.test/5');
check('remove: changed, then removed in one chunk: nothing of it left', ($reply['success'] ?? false) === true
    && $left($old[4]) === [] && product('https://twice.test/4') === [], $reply);
check('remove: removed, then back in one chunk: a new product with the new price', $left($old[5]) === []
    && ($again['id'] ?? $old[5]) !== $old[5] && $again['price'] === '9.00' && $again['deleted'] == 0, $again);
$site->configure(array_replace_recursive($settings, ['dsn' => "sqlite:$root/goods.sqlite"]));
check('MODX mode wants the MySQL database of the site', str_contains($client->post('configure', [])['message'] ?? '', 'MySQL'));
$site->configure($settings);
check('the owner\'s product is still as it was', rows('SELECT * FROM modx_site_content WHERE id = 11') === $ownBefore);

// The program's own client end to end: a feed exported to the shop, read
// back as base over the same feed, leaves nothing to change; a delta then
// changes one price and bins one good.
if (!is_executable($cli)) {
    check("fidmora-cli at \"$cli\"", false);
} else {
    $shop->exec('DELETE FROM modx_fidmora_keys');
    // The same file name for both feeds: the offer is named after it.
    $feed = function (array $prices) use ($root): string {
        $text = "id;name;url;price;oldprice;categoryId;vendor;picture;description\r\n";
        foreach ($prices as $i => $price) {
            $text .= "$i;\"Товар \"\"$i\"\"\";https://b.test/$i;$price;" . ($i % 3 ? '' : 200 + $i)
                . ';Дом/Раздел ' . ($i % 7) . '/Полка ' . ($i % 2) . ';Марка ' . ($i % 5) . ";https://img.test/$i.jpg;"
                . "\"Описание; \"\"$i\"\"\r\nстрока\"\r\n";
        }
        $folder = "$root/feed-" . count($prices) . '-' . md5(serialize($prices));
        @mkdir($folder);
        file_put_contents("$folder/shop.csv", $text);
        return "$folder/shop.csv";
    };
    $prices = [];
    for ($i = 1; $i <= 120; ++$i)
        $prices[$i] = (string)(100 + $i);
    $run = function (string ...$arguments) use ($cli, $site, $root): array {
        $command = array_merge([$cli, '--quiet', '--site', "127.0.0.1:{$site->port}"], $arguments);
        $process = proc_open($command, [['file', '/dev/null', 'r'], ['pipe', 'w'], ['file', "$root/cli.log", 'w']], $pipes,
            null, getenv() + ['FIDMORA_SITE_LOGIN' => 'admin', 'FIDMORA_SITE_PASSWORD' => 'secret', 'QT_QPA_PLATFORM' => 'offscreen']);
        $out = stream_get_contents($pipes[1]);
        return [proc_close($process), $out, (string)file_get_contents("$root/cli.log")];
    };
    $full = $feed($prices);
    [$status, , $log] = $run('--add', $full, '--save-site');
    check('cli: exported', $status === 0, $log);
    check('cli: 120 products in the shop', (int)rows('SELECT COUNT(*) n FROM modx_fidmora_keys')[0]['n'] === 120);
    [$status, $out, $log] = $run('--add', $full, '--add-base-site', '--summary');
    check('cli: the shop read back as base leaves nothing to change', $status === 0 && str_contains($out, "goods 0\n"), $out . $log);
    unset($prices[2]);
    $prices[3] = '777';
    $prices[121] = '5';
    $delta = $feed($prices);
    $shop->exec('UPDATE modx_site_content SET editedon = 1 WHERE id > 11');
    [$status, , $log] = $run('--add', $delta, '--add-base-site', '--save-site');
    check('cli: delta exported', $status === 0, $log);
    $edited = rows('SELECT c.pagetitle, c.deleted, p.price FROM modx_site_content c JOIN modx_ms2_products p ON p.id = c.id '
        . 'WHERE c.editedon <> 1 AND c.id > 11 ORDER BY c.id');
    check('cli: the delta changed one price, binned one good and added one', $edited === [
        ['pagetitle' => 'Товар "2"', 'deleted' => 1, 'price' => '102.00'],
        ['pagetitle' => 'Товар "3"', 'deleted' => 0, 'price' => '777.00'],
        ['pagetitle' => 'Товар "121"', 'deleted' => 0, 'price' => '5.00'],
    ], $edited);
    [$status, $out, $log] = $run('--add', $delta, '--add-base-site', '--summary');
    check('cli: after the delta the shop matches the feed', $status === 0 && str_contains($out, "goods 0\n"), $out . $log);
}

echo $failures === 0 ? "cron.php MODX mode: all checks passed\n" : "cron.php MODX mode: $failures checks failed\n";
exit($failures === 0 ? 0 : 1);
