<?php
// The site's end of the Fidmora exchange: the program reads the goods the
// site holds and writes back what changed, in chunks of rows, as JSON over
// HTTP POST. Actions: "login", "configure", "data", "update". Every answer is
// one JSON object {"success": bool, "message": text, "object": payload};
// a refusal the program tells the user of in its own words adds "error":
// "credentials" (wrong login or password) or "database" (the database
// refused). PHP's own warnings never reach the body. The goods live in a table of the
// script's own (SQLite or MySQL), or in a MODX shop as miniShop2 products.
//
// Configuration: config.php beside this file (see config.example.php).

declare(strict_types=1);

ini_set('display_errors', '0');
ini_set('html_errors', '0');
error_reporting(E_ALL);

const DEFAULT_CHUNK_SIZE = 1000;
const DEFAULT_MAX_BODY = 32 * 1024 * 1024;
// A request without a session is a login or a stranger's: it never needs
// more, and a larger one is refused before anything of it is decoded.
const ANONYMOUS_MAX_BODY = 64 * 1024;
const MAX_DATA_LIMIT = 100000;
const MAX_REASONS = 20;
const SESSION_NAME = 'FIDMORASESSID';
// The site's header in MODX mode: the goods' columns that a miniShop2
// product holds, then how each good is recognised and what happened to it.
const MODX_COLUMNS = ['url', 'name', 'price', 'oldprice', 'categoryId', 'vendor', 'picture', 'description', 'id',
    'advcampaign_name', 'idTpl', 'status'];
// Failed logins from one address before each further attempt has to wait,
// 1 s after the fifth failure, doubling up to MAX_LOGIN_WAIT.
const FREE_LOGIN_FAILURES = 5;
const MAX_LOGIN_WAIT = 60;
// A chunk that meets a deadlock or a busy database is tried again, whole.
const WRITE_ATTEMPTS = 3;

function answer(array $reply, int $status = 200): never
{
    if (!headers_sent()) {
        http_response_code($status);
        header('Content-Type: application/json; charset=utf-8');
        header('Cache-Control: no-store');
    }
    echo json_encode($reply, JSON_UNESCAPED_UNICODE | JSON_UNESCAPED_SLASHES | JSON_INVALID_UTF8_SUBSTITUTE);
    exit;
}

function refuse(string $message, int $status = 200, string $error = ''): never
{
    answer(['success' => false, 'message' => $message] + ($error === '' ? [] : ['error' => $error]), $status);
}

// Warnings become exceptions; whatever escapes is logged for the site owner
// and answered with a plain message, so that the body stays JSON.
set_error_handler(function (int $severity, string $message, string $file, int $line): bool {
    throw new ErrorException($message, 0, $severity, $file, $line);
});
set_exception_handler(function (Throwable $e): void {
    // A database that cannot be opened or read is the site owner's to mend,
    // and the program says so in plain words.
    if ($e instanceof PDOException)
        refuse('Ошибка базы данных сайта: ' . databaseReason($e), 503, 'database');
    error_log('fidmora cron.php: ' . $e);
    refuse('Внутренняя ошибка сайта, подробности в журнале ошибок сервера', 500);
});
register_shutdown_function(function (): void {
    $error = error_get_last();
    if ($error !== null && in_array($error['type'], [E_ERROR, E_PARSE, E_CORE_ERROR, E_COMPILE_ERROR], true)) {
        error_log('fidmora cron.php: ' . $error['message'] . ' in ' . $error['file'] . ':' . $error['line']);
        if (!headers_sent())
            refuse('Внутренняя ошибка сайта, подробности в журнале ошибок сервера', 500);
    }
});

function validName($name): bool
{
    return is_string($name) && preg_match('/^[A-Za-z_][A-Za-z0-9_]*$/', $name) === 1;
}

// A path made absolute with "." and ".." taken out, without asking the file
// system: what the web server would serve under that name.
function lexicalPath(string $path): string
{
    $windows = PHP_OS_FAMILY === 'Windows';
    if ($windows)
        $path = str_replace('\\', '/', $path);
    $drive = $windows && preg_match('~^[A-Za-z]:/~', $path) === 1;
    if (!$drive && !str_starts_with($path, '/'))
        $path = ($windows ? str_replace('\\', '/', (string)getcwd()) : (string)getcwd()) . '/' . $path;
    $parts = [];
    foreach (explode('/', $path) as $part) {
        if ($part === '..')
            array_pop($parts);
        elseif ($part !== '' && $part !== '.')
            $parts[] = $part;
    }
    $joined = implode('/', $parts);
    $joined = preg_match('~^[A-Za-z]:$~', $parts[0] ?? '') === 1 ? $joined : '/' . $joined;
    return $windows ? strtolower($joined) : $joined;
}

// The same path with every link followed, as far as the path exists.
function resolvedPath(string $path): string
{
    $real = realpath($path);
    if ($real === false && ($folder = realpath(dirname($path))) !== false)
        $real = $folder . '/' . basename($path);
    return $real === false ? lexicalPath($path) : lexicalPath($real);
}

// True when the web server would hand out the file or folder at $path: it
// lies in the document root, by its name or through a link. Without a
// document root, the script's own folder is surely served.
function servedByWebServer(string $path): bool
{
    $root = (string)($_SERVER['DOCUMENT_ROOT'] ?? '');
    $root = $root !== '' ? $root : __DIR__;
    foreach ([lexicalPath($path), resolvedPath($path)] as $candidate) {
        foreach ([lexicalPath($root), resolvedPath($root)] as $folder) {
            $folder = rtrim($folder, '/');
            if ($candidate === $folder || str_starts_with($candidate, $folder . '/'))
                return true;
        }
    }
    return false;
}

function loadConfig(): array
{
    $file = __DIR__ . '/config.php';
    if (!is_file($file))
        refuse('Сайт не настроен: рядом с cron.php нет файла config.php', 500);
    $config = require $file;
    $broken = fn(string $what) => refuse('Ошибка в config.php: ' . $what, 500);
    if (!is_array($config))
        $broken('файл должен вернуть массив настроек');
    foreach (['login', 'passwordHash', 'dsn'] as $key) {
        if (!isset($config[$key]) || !is_string($config[$key]) || $config[$key] === '')
            $broken("не задан \"$key\"");
    }
    $config['mode'] = $config['mode'] ?? 'table';
    if ($config['mode'] === 'modx') {
        $config['modx'] = modxSettings($config['modx'] ?? null, $broken);
        $config['columns'] = MODX_COLUMNS;
    } elseif ($config['mode'] !== 'table') {
        $broken('"mode" должно быть "table" (своя таблица товаров) или "modx" (товары miniShop2)');
    } else {
        if (!validName($config['table'] ?? null))
            $broken('"table" должно быть именем из латинских букв, цифр и "_"');
        $columns = $config['columns'] ?? null;
        if (!is_array($columns) || $columns === [] || !array_is_list($columns))
            $broken('"columns" должно быть непустым списком имён колонок');
        foreach ($columns as $column) {
            if (!validName($column) || str_starts_with($column, 'fidmora_'))
                $broken('недопустимое имя колонки ' . json_encode($column, JSON_UNESCAPED_UNICODE));
        }
        if (count(array_unique($columns)) !== count($columns))
            $broken('колонки в "columns" повторяются');
    }
    $config['chunkSize'] = $config['chunkSize'] ?? DEFAULT_CHUNK_SIZE;
    if (!is_int($config['chunkSize']) || $config['chunkSize'] < 1 || $config['chunkSize'] > MAX_DATA_LIMIT)
        $broken('"chunkSize" должно быть целым от 1 до ' . MAX_DATA_LIMIT);
    $config['maxBodyBytes'] = $config['maxBodyBytes'] ?? DEFAULT_MAX_BODY;
    if (!is_int($config['maxBodyBytes']) || $config['maxBodyBytes'] < 1024)
        $broken('"maxBodyBytes" должно быть целым не меньше 1024');
    // Whoever knows the address would download the goods, or take over a
    // session by its file's name. The path goes to the server's log only.
    $file = str_starts_with($config['dsn'], 'sqlite:') ? substr($config['dsn'], strlen('sqlite:')) : '';
    if ($file !== '' && $file !== ':memory:' && servedByWebServer($file)) {
        error_log("fidmora cron.php: the SQLite database $file lies inside the web server's document root");
        $broken('файл базы SQLite лежит внутри корня веб-сервера, и его может скачать кто угодно: '
            . 'перенесите его в папку вне корня сайта и поправьте "dsn"');
    }
    if (isset($config['sessionDir']) && (!is_string($config['sessionDir']) || servedByWebServer($config['sessionDir']))) {
        error_log('fidmora cron.php: the session folder lies inside the web server\'s document root');
        $broken('папка сессий "sessionDir" лежит внутри корня веб-сервера: перенесите её в папку вне корня сайта');
    }
    return $config;
}

function iniBytes(string $value): int
{
    $value = trim($value);
    $number = (int)$value;
    return match (strtolower(substr($value, -1))) {
        'g' => $number << 30,
        'm' => $number << 20,
        'k' => $number << 10,
        default => $number,
    };
}

// Refuses what is not a POST of JSON, before the session or the body is touched.
function checkRequestKind(): void
{
    if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
        header('Allow: POST');
        refuse('Принимаются только запросы POST', 405);
    }
    $type = strtolower(trim(explode(';', $_SERVER['CONTENT_TYPE'] ?? '')[0]));
    if ($type !== 'application/json')
        refuse('Тело запроса должно быть application/json', 415);
}

// The request body as an array, or a refusal. Nothing larger than $maxBody
// is read, let alone decoded.
function readRequest(int $maxBody): array
{
    $length = (int)($_SERVER['CONTENT_LENGTH'] ?? 0);
    $postLimit = iniBytes((string)ini_get('post_max_size'));
    if ($length > $maxBody)
        refuse("Запрос больше $maxBody байт", 413);
    if ($postLimit > 0 && $length > $postLimit)
        refuse('Запрос больше post_max_size в настройках PHP (' . ini_get('post_max_size') . ')', 413);
    $body = file_get_contents('php://input', false, null, 0, $maxBody + 1);
    if ($body === false)
        refuse('Не удалось прочитать тело запроса', 400);
    if (strlen($body) > $maxBody)
        refuse("Запрос больше $maxBody байт", 413);
    try {
        $request = json_decode($body, true, 16, JSON_THROW_ON_ERROR);
    } catch (JsonException $e) {
        refuse('Тело запроса не JSON: ' . $e->getMessage(), 400);
    }
    if (!is_array($request) || array_is_list($request) && $request !== [] || !is_string($request['action'] ?? null))
        refuse('Запрос должен быть объектом с полем "action"', 400);
    return $request;
}

function startSession(array $config): void
{
    if (isset($config['sessionDir']))
        session_save_path($config['sessionDir']);
    ini_set('session.use_strict_mode', '1');
    ini_set('session.use_only_cookies', '1');
    session_name(SESSION_NAME);
    session_set_cookie_params([
        'lifetime' => 0,
        'path' => '/',
        'secure' => ($_SERVER['HTTPS'] ?? '') !== '' && ($_SERVER['HTTPS'] ?? '') !== 'off',
        'httponly' => true,
        'samesite' => 'Strict',
    ]);
    session_start();
}

// SQLite folds its write-ahead log back into the database, with two disk
// flushes, whenever the last connection closes: a connection kept open
// between requests spares every chunk that second write. It is keyed by the
// file itself, so that a database file replaced or restored behind the
// script's back gets a connection of its own instead of writes into the old,
// deleted one. A transaction a request leaves open is rolled back at its end.
function persistentKey(string $dsn): string|false
{
    if (!str_starts_with($dsn, 'sqlite:'))
        return false;
    $path = substr($dsn, strlen('sqlite:'));
    clearstatcache(true, $path);
    if (!file_exists($path))
        return false; // the first request creates it
    try {
        $stat = stat($path);
    } catch (ErrorException) {
        return false;
    }
    return "fidmora-sqlite-{$stat['dev']}-{$stat['ino']}";
}

function openDatabase(array $config): PDO
{
    $pdo = new PDO($config['dsn'], $config['dbUser'] ?? null, $config['dbPassword'] ?? null, [
        PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION,
        PDO::ATTR_DEFAULT_FETCH_MODE => PDO::FETCH_NUM,
        PDO::ATTR_TIMEOUT => 30,
        PDO::ATTR_PERSISTENT => persistentKey($config['dsn']),
    ]);
    // A kept connection may come with a transaction that a request ended
    // by a fatal error or a time limit left open: it is never continued.
    abandonTransaction($pdo);
    $driver = $pdo->getAttribute(PDO::ATTR_DRIVER_NAME);
    if ($config['mode'] === 'modx') {
        if ($driver !== 'mysql')
            refuse('Ошибка в config.php: для "mode" => "modx" нужна база MySQL/MariaDB сайта MODX в "dsn"', 500);
        ModxShop::createTables($pdo, $config['modx']['prefix']);
        createLoginTable($pdo, loginTable($config));
        return $pdo;
    }
    $q = fn(string $name) => $driver === 'mysql' ? "`$name`" : "\"$name\"";
    $table = $q($config['table']);
    if ($driver === 'sqlite') {
        // The write-ahead log lets the site read while a chunk is written,
        // and a commit then waits for no disk flush.
        $pdo->exec('PRAGMA journal_mode = WAL');
        $pdo->exec('PRAGMA synchronous = NORMAL');
        $pdo->exec('PRAGMA busy_timeout = 30000');
        // Pages are read through a mapping rather than copied in for every
        // request, and a chunk's index lookups stay in memory.
        $pdo->exec('PRAGMA mmap_size = 268435456');
        $pdo->exec('PRAGMA cache_size = -65536');
        $pdo->exec('PRAGMA wal_autocheckpoint = 16384');
        $cells = array_map(fn($c) => $q($c) . " TEXT NOT NULL DEFAULT ''", $config['columns']);
        $pdo->exec("CREATE TABLE IF NOT EXISTS $table (\"fidmora_id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
            . "\"fidmora_key\" TEXT NOT NULL UNIQUE, " . implode(', ', $cells) . ')');
        $pdo->exec('CREATE TABLE IF NOT EXISTS "fidmora_logins" ("address" TEXT PRIMARY KEY, '
            . '"failures" INTEGER NOT NULL, "waitUntil" REAL NOT NULL, "seen" INTEGER NOT NULL)');
    } elseif ($driver === 'mysql') {
        $cells = array_map(fn($c) => $q($c) . ' MEDIUMTEXT NOT NULL', $config['columns']);
        $pdo->exec("CREATE TABLE IF NOT EXISTS $table (`fidmora_id` BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, "
            . '`fidmora_key` CHAR(40) NOT NULL UNIQUE, ' . implode(', ', $cells) . ') DEFAULT CHARSET=utf8mb4');
        createLoginTable($pdo, 'fidmora_logins');
    } else {
        refuse("База $driver не поддерживается: только SQLite и MySQL/MariaDB", 500);
    }
    return $pdo;
}

// The table of the login counts: beside the shop's own tables in MODX mode.
function loginTable(array $config): string
{
    return ($config['mode'] === 'modx' ? $config['modx']['prefix'] : '') . 'fidmora_logins';
}

function isMysql(PDO $pdo): bool
{
    return $pdo->getAttribute(PDO::ATTR_DRIVER_NAME) === 'mysql';
}

function createLoginTable(PDO $pdo, string $table): void
{
    $pdo->exec("CREATE TABLE IF NOT EXISTS `$table` (`address` VARCHAR(64) NOT NULL PRIMARY KEY, "
        . '`failures` INT NOT NULL, `waitUntil` DOUBLE NOT NULL, `seen` BIGINT NOT NULL) '
        . 'ENGINE=InnoDB DEFAULT CHARSET=utf8mb4');
}

// The connection whose write transaction is open, rolled back should the
// request end before it is committed.
$openTransaction = null;
register_shutdown_function(function (): void {
    global $openTransaction;
    if ($openTransaction !== null)
        abandonTransaction($openTransaction);
});

function abandonTransaction(PDO $pdo): void
{
    try {
        $pdo->exec('ROLLBACK');
    } catch (Throwable) {
        // nothing was open
    }
}

// Runs $work inside one write transaction and returns what it returns.
// SQLite takes the write lock at the start, so that what $work looks up
// stays true until it writes; a deadlock or a database busy beyond its
// wait is tried again, whole, before it fails.
function inWriteTransaction(PDO $pdo, callable $work): mixed
{
    global $openTransaction;
    for ($attempt = 1; ; ++$attempt) {
        try {
            $pdo->exec(isMysql($pdo) ? 'START TRANSACTION' : 'BEGIN IMMEDIATE');
            $openTransaction = $pdo;
            $result = $work();
            $pdo->exec('COMMIT');
            $openTransaction = null;
            return $result;
        } catch (Throwable $e) {
            abandonTransaction($pdo);
            $openTransaction = null;
            if ($attempt >= WRITE_ATTEMPTS || databaseTrouble($e) !== 'busy')
                throw $e;
            usleep(random_int(20000, 100000) * $attempt);
        }
    }
}

// What kind of database trouble an exception is: "busy" (a lock, a
// deadlock), "full", "readonly", "gone", or "" for anything else.
function databaseTrouble(Throwable $e): string
{
    if (!$e instanceof PDOException)
        return '';
    $code = (int)($e->errorInfo[1] ?? 0);
    $state = (string)($e->errorInfo[0] ?? $e->getCode());
    return match (true) {
        $state === '40001', in_array($code, [1205, 1213], true) => 'busy',
        $state === 'HY000' && in_array($code, [5, 6], true) => 'busy',  // SQLITE_BUSY, SQLITE_LOCKED
        in_array($code, [1021, 1114], true), $state === 'HY000' && $code === 13 => 'full',
        $state === 'HY000' && $code === 8, $code === 1290 => 'readonly',
        in_array($code, [2002, 2006, 2013, 1040], true) => 'gone',
        default => '',
    };
}

// A short reason for the program; the database's own text, which may hold
// SQL and names of the site, goes to the server's log.
function databaseReason(Throwable $e): string
{
    error_log('fidmora cron.php: ' . $e);
    return match (databaseTrouble($e)) {
        'busy' => 'база данных занята другой записью, попробуйте позже',
        'full' => 'на диске сервера или в базе нет места',
        'readonly' => 'база данных открыта только для чтения',
        'gone' => 'нет связи с базой данных',
        default => 'ошибка базы данных, подробности в журнале ошибок сервера',
    };
}

function quoter(PDO $pdo): callable
{
    $mysql = $pdo->getAttribute(PDO::ATTR_DRIVER_NAME) === 'mysql';
    return fn(string $name) => $mysql ? "`$name`" : "\"$name\"";
}

// The identity of a good as its "idTpl" cell names it, resolved against the
// row's own cells the way the program resolves it: "[u]" url, "[a]" offer
// (advcampaign_name), "[i]" id, "[n]" name. Without a template the program's
// default applies. Returns [key, null] or [null, reason].
function identityKey(array $row, array $at): array
{
    $cell = fn(string $column) => isset($at[$column]) ? $row[$at[$column]] : '';
    $template = $cell('idTpl');
    if ($template === '') {
        if ($cell('url') !== '')
            $template = '[u]';
        elseif ($cell('id') !== '')
            $template = '[a][i]';
        elseif ($cell('name') !== '')
            $template = '[a][n]';
        else
            $template = '[a][p]';
    }
    if (str_contains($template, '[p]'))
        return [null, "товар без url, id и названия (шаблон $template): его не узнать при следующей выгрузке"];
    // Only the tokens of the template itself are replaced, in this order, so
    // that a value holding a token's text stays as it is.
    $key = $template;
    foreach (['[u]' => 'url', '[a]' => 'advcampaign_name', '[i]' => 'id', '[n]' => 'name'] as $token => $column) {
        if (str_contains($template, $token))
            $key = str_replace($token, $cell($column), $key);
    }
    if ($key === '')
        return [null, "пустой ключ товара (шаблон $template)"];
    return [$key, null];
}

// ---------------------------------------------------------------------------
// MODX mode: the goods are miniShop2 products of a MODX site, written into
// and read from the shop's own tables.

// The "modx" settings with their defaults, or a refusal naming the wrong one.
function modxSettings($settings, callable $broken): array
{
    if (!is_array($settings))
        $broken('для "mode" => "modx" нужен массив "modx" с настройками магазина');
    $settings += [
        'prefix' => 'modx_', 'context' => 'web', 'categoryTemplate' => 0, 'productTemplate' => 0,
        'urlTv' => 'affiliate_url', 'offerTv' => 'advertiser', 'onDelete' => 'bin', 'cachePath' => null,
    ];
    if (!is_string($settings['prefix']) || preg_match('/^[A-Za-z0-9_]{0,32}$/', $settings['prefix']) !== 1)
        $broken('"modx" → "prefix": префикс таблиц из латинских букв, цифр и "_"');
    if (!is_int($settings['catalogRoot'] ?? null) || $settings['catalogRoot'] < 1)
        $broken('"modx" → "catalogRoot": id ресурса каталога, целое больше 0');
    foreach (['categoryTemplate', 'productTemplate'] as $key) {
        if (!is_int($settings[$key]) || $settings[$key] < 0)
            $broken("\"modx\" → \"$key\": id шаблона, целое от 0");
    }
    if (!is_string($settings['context']) || preg_match('/^[A-Za-z0-9_-]{1,100}$/', $settings['context']) !== 1)
        $broken('"modx" → "context": ключ контекста, например "web"');
    foreach (['urlTv', 'offerTv'] as $key) {
        if (!is_string($settings[$key]) || preg_match('/^[A-Za-z0-9_-]{1,50}$/', $settings[$key]) !== 1)
            $broken("\"modx\" → \"$key\": имя TV из латинских букв, цифр, \"_\" и \"-\"");
    }
    if ($settings['urlTv'] === $settings['offerTv'])
        $broken('"modx" → "urlTv" и "offerTv" должны быть разными TV');
    if (!in_array($settings['onDelete'], ['bin', 'remove'], true))
        $broken('"modx" → "onDelete": "bin" (снять с публикации и в корзину) или "remove" (удалить)');
    if ($settings['cachePath'] !== null && (!is_string($settings['cachePath']) || !is_dir($settings['cachePath'])))
        $broken('"modx" → "cachePath": папка core/cache/ сайта MODX, или null');
    return $settings;
}

// A failure of the shop that the program may read about: its text holds no
// SQL and no path.
final class ShopProblem extends RuntimeException
{
}

// The first $chars characters of a UTF-8 text: what a VARCHAR($chars)
// column keeps of it.
function cutText(string $text, int $chars): string
{
    if (strlen($text) <= $chars)
        return $text;
    preg_match('/^.{0,' . $chars . '}/su', $text, $match);
    return $match[0] ?? '';
}

// A price as the shop stores it (DECIMAL(12,2)): spaces out, a decimal
// comma taken as a point, the leading number; null when there is none or
// it does not fit.
function shopPrice(string $text): ?string
{
    $text = str_replace([' ', "\u{00A0}", "\u{202F}", ','], ['', '', '', '.'], $text);
    if (preg_match('/^[-+]?(\d+(\.\d*)?|\.\d+)/', $text, $match) !== 1)
        return null;
    $value = round((float)$match[0], 2);
    return abs($value) < 1e10 ? sprintf('%.2f', $value) : null;
}

// A title made into the last part of an address: Cyrillic spelt in Latin
// letters, everything else but letters and digits a "-".
function aliasOf(string $title, string $fallback): string
{
    static $latin = [
        'а' => 'a', 'б' => 'b', 'в' => 'v', 'г' => 'g', 'д' => 'd', 'е' => 'e', 'ё' => 'e', 'ж' => 'zh', 'з' => 'z',
        'и' => 'i', 'й' => 'y', 'к' => 'k', 'л' => 'l', 'м' => 'm', 'н' => 'n', 'о' => 'o', 'п' => 'p', 'р' => 'r',
        'с' => 's', 'т' => 't', 'у' => 'u', 'ф' => 'f', 'х' => 'h', 'ц' => 'ts', 'ч' => 'ch', 'ш' => 'sh',
        'щ' => 'sch', 'ъ' => '', 'ы' => 'y', 'ь' => '', 'э' => 'e', 'ю' => 'yu', 'я' => 'ya', 'і' => 'i', 'ї' => 'yi',
        'є' => 'ye', 'ґ' => 'g', 'ў' => 'u',
    ];
    static $lower = null;
    $lower ??= array_combine(
        preg_split('//u', 'АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯІЇЄҐЎ', -1, PREG_SPLIT_NO_EMPTY),
        preg_split('//u', 'абвгдеёжзийклмнопрстуфхцчшщъыьэюяіїєґў', -1, PREG_SPLIT_NO_EMPTY));
    $text = strtr(strtr($title, $lower), $latin);
    if (preg_match('/[^\x00-\x7F]/', $text) === 1 && function_exists('iconv')) {
        try {
            $ascii = iconv('UTF-8', 'ASCII//TRANSLIT//IGNORE', $text);
            $text = $ascii === false ? $text : $ascii;
        } catch (Throwable) {
            // the letters without a Latin form become "-" below
        }
    }
    $alias = trim((string)preg_replace('/[^a-z0-9]+/', '-', strtolower($text)), '-');
    // Long enough to tell goods apart, short enough for an address.
    if (strlen($alias) > 80)
        $alias = rtrim(substr($alias, 0, 80), '-');
    return $alias === '' ? $fallback : $alias;
}

// The shop's side of the exchange. Products are msProduct resources with
// their ms2_products rows; categories are msCategory resources below the
// catalogue root; the table fidmora_keys maps each good's identity to the
// resource made for it, and keeps the cells as written where the shop keeps
// them in another form (a price as 1299.00, a title cut at 255 letters),
// so that a reading gives back exactly what was written while the shop
// holds it. Resources not named in fidmora_keys are never changed, but for
// categories that gain or lose products.
final class ModxShop
{
    // Cells that the shop may keep in another form than they were sent in.
    private const KEPT = ['name', 'price', 'oldprice', 'categoryId', 'vendor', 'picture', 'id', 'idTpl', 'status'];
    // Multi-row inserts are cut at about this many bytes.
    private const BATCH_BYTES = 1 << 20;
    // Values in one "IN (...)" of a non-unique index. Past the server's
    // eq_range_index_dive_limit (200 by default) the rows are guessed from
    // the index's statistics, and on the prefix index of uri the guess has
    // the server read the whole table instead of looking the values up.
    private const IN_LIST = 100;

    private array $m;
    private string $content;
    private string $products;
    private string $vendors;
    private string $tvs;
    private string $tvValues;
    private string $productCategories;
    private string $keys;
    private int $now;
    private bool $changed = false;

    // What one attempt of a chunk learns and plans; reset for each attempt.
    private array $root;
    private array $children;    // category id => [title => [id, uri, published]], msCategory not in the bin
    private array $uris;        // category id => uri
    private array $taken;       // uris given out by this chunk (as uriKey gives them)
    private array $numbered;    // alias stem => uris "stem-N..." the context holds
    private array $nextNumber;  // alias stem and suffix => the number to try next
    private ?array $vendorIds;  // vendor name => id
    private array $tvIds;       // "url"/"offer" => TV id
    private array $emptied;     // category ids that lost a product
    private array $pending;     // identity hash => a product to insert
    private array $categoryIds; // category path => id
    private array $moves;       // product id => [new parent, alias, parent it had]
    private array $contentSets; // resource id => [column => value]
    private array $data;        // product id => its ms2_products row
    private array $tvSets;      // "url"/"offer" => [product id => value, "" to clear]
    private array $keyWrites;   // identity hash => its fidmora_keys row
    private array $removed;     // product ids to remove with all their data
    private array $counts;

    public function __construct(private PDO $pdo, array $config)
    {
        $this->m = $config['modx'];
        $p = $this->m['prefix'];
        foreach (['content' => 'site_content', 'products' => 'ms2_products', 'vendors' => 'ms2_vendors',
                'tvs' => 'site_tmplvars', 'tvValues' => 'site_tmplvar_contentvalues',
                'productCategories' => 'ms2_product_categories', 'keys' => 'fidmora_keys'] as $member => $table)
            $this->$member = "`$p$table`";
    }

    public static function createTables(PDO $pdo, string $prefix): void
    {
        $pdo->exec("CREATE TABLE IF NOT EXISTS `{$prefix}fidmora_keys` (
            `id` BIGINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
            `key` CHAR(40) CHARACTER SET ascii NOT NULL,
            `resource` INT UNSIGNED NOT NULL,
            `written` MEDIUMTEXT NOT NULL,
            `created` INT NOT NULL,
            `updated` INT NOT NULL,
            UNIQUE KEY `key` (`key`),
            KEY `resource` (`resource`)
        ) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4");
    }

    // The products the script manages that are not in the bin: what "data" reads.
    private function managed(): string
    {
        return "FROM {$this->keys} k JOIN {$this->content} c ON c.id = k.resource AND c.deleted = 0 "
            . "AND c.class_key = 'msProduct'";
    }

    public function count(): int
    {
        return (int)$this->pdo->query('SELECT COUNT(*) ' . $this->managed())->fetchColumn();
    }

    // Rows from $offset on in the site's header order, with the key id of the
    // last one; $after, when given, is the key id of the row before $offset.
    public function read(int $limit, int $offset, ?int $after): array
    {
        $tv = $this->tvIdsFor(false);
        // The keys are walked in the order of their ids, each joined to its
        // resource: left to itself, the server may take the products first
        // and sort all of them to give out the first rows.
        $statement = $this->pdo->prepare('SELECT STRAIGHT_JOIN k.id, k.written, c.pagetitle, c.parent, c.content, p.price, '
            . 'p.old_price, p.article, p.image, v.name, tu.value, ta.value ' . $this->managed()
            . " LEFT JOIN {$this->products} p ON p.id = k.resource"
            . " LEFT JOIN {$this->vendors} v ON v.id = p.vendor"
            . " LEFT JOIN {$this->tvValues} tu ON tu.contentid = k.resource AND tu.tmplvarid = ?"
            . " LEFT JOIN {$this->tvValues} ta ON ta.contentid = k.resource AND ta.tmplvarid = ?"
            . ($after !== null ? ' WHERE k.id > ? ORDER BY k.id LIMIT ?' : ' ORDER BY k.id LIMIT ? OFFSET ?'));
        $statement->bindValue(1, $tv['url'], PDO::PARAM_INT);
        $statement->bindValue(2, $tv['offer'], PDO::PARAM_INT);
        if ($after !== null) {
            $statement->bindValue(3, $after, PDO::PARAM_INT);
            $statement->bindValue(4, $limit, PDO::PARAM_INT);
        } else {
            $statement->bindValue(3, $limit, PDO::PARAM_INT);
            $statement->bindValue(4, $offset, PDO::PARAM_INT);
        }
        $statement->execute();
        $found = $statement->fetchAll(PDO::FETCH_NUM);
        $paths = $this->categoryPaths(array_unique(array_map(fn($r) => (int)$r[3], $found)));
        $rows = [];
        $last = null;
        $text = fn($value) => $value === null ? '' : (string)$value;
        $cut = fn(int $chars) => fn(string $value) => cutText($value, $chars);
        $money = fn(string $value) => shopPrice($value) ?? '0.00';
        $plain = fn(?string $held) => $held === null ? '' : (str_contains($held, '.') ? rtrim(rtrim($held, '0'), '.') : $held);
        $pathOf = fn(string $value) => implode('/', array_map(fn($level) => cutText($level, 255), self::levels($value)));
        foreach ($found as [$keyId, $written, $title, $parent, $content, $price, $oldPrice, $article, $image, $vendor,
                $url, $offer]) {
            $last = (int)$keyId;
            $w = json_decode((string)$written, true) ?: [];
            // A cell as written while the shop still holds what it made of
            // it; otherwise what the shop holds now.
            $back = fn(string $cell, ?string $held, callable $shopForm) =>
                isset($w[$cell]) && $shopForm($w[$cell]) === $held ? $w[$cell] : (string)$held;
            $path = $paths[(int)$parent] ?? '';
            $rows[] = [
                $text($url),
                $back('name', $text($title), $cut(255)),
                isset($w['price']) && $money($w['price']) === $price ? $w['price'] : $plain($price),
                isset($w['oldprice']) && $money($w['oldprice']) === $oldPrice ? $w['oldprice'] : $plain($oldPrice),
                $back('categoryId', $path, $pathOf),
                $back('vendor', $text($vendor), $cut(100)),
                $back('picture', $text($image), $cut(255)),
                $text($content),
                $back('id', $text($article), $cut(50)),
                $text($offer),
                (string)($w['idTpl'] ?? ''),
                (string)($w['status'] ?? ''),
            ];
        }
        return [$rows, $last];
    }

    // The levels of a category path, empty ones left out.
    private static function levels(string $path): array
    {
        return array_values(array_filter(explode('/', $path), fn($level) => trim($level) !== ''));
    }

    // The path of titles below the catalogue root of each category id.
    private function categoryPaths(array $ids): array
    {
        $root = $this->m['catalogRoot'];
        $known = [$root => [0, null]];  // id => [parent, title]
        $wanted = array_diff($ids, [$root, 0]);
        while ($wanted !== []) {
            $find = $this->pdo->prepare("SELECT id, parent, pagetitle FROM {$this->content} WHERE id IN ("
                . implode(', ', array_fill(0, count($wanted), '?')) . ')');
            $find->execute(array_values($wanted));
            $next = [];
            foreach ($find->fetchAll(PDO::FETCH_NUM) as [$id, $parent, $title]) {
                $known[(int)$id] = [(int)$parent, (string)$title];
                if (!isset($known[(int)$parent]) && (int)$parent !== 0)
                    $next[] = (int)$parent;
            }
            foreach ($wanted as $id)
                $known[$id] ??= [0, null];
            $wanted = array_unique($next);
        }
        $paths = [];
        foreach ($ids as $id) {
            $titles = [];
            // A product moved outside the catalogue by hand keeps the titles
            // above it up to the top of the site.
            for ($at = $id, $steps = 0; $at !== $root && $at !== 0 && $steps < 100; ++$steps) {
                [$parent, $title] = $known[$at] ?? [0, null];
                if ($title !== null)
                    array_unshift($titles, $title);
                $at = $parent;
            }
            $paths[$id] = implode('/', $titles);
        }
        return $paths;
    }

    // Ids of the two TVs; missing ones are created when $create, else -1.
    private function tvIdsFor(bool $create): array
    {
        $ids = [];
        foreach (['url' => ['urlTv', 'Ссылка на товар у рекламодателя'], 'offer' => ['offerTv', 'Рекламодатель']]
                as $which => [$setting, $caption]) {
            $find = $this->pdo->prepare("SELECT id FROM {$this->tvs} WHERE name = ?");
            $find->execute([$this->m[$setting]]);
            $id = $find->fetchColumn();
            if ($id === false && $create) {
                $this->pdo->prepare("INSERT INTO {$this->tvs} (type, name, caption, default_text) VALUES ('text', ?, ?, '')")
                    ->execute([$this->m[$setting], $caption]);
                $id = $this->pdo->lastInsertId();
            }
            $ids[$which] = $id === false ? -1 : (int)$id;
        }
        return $ids;
    }

    // Chunks of one shop are written one at a time: two at once would make
    // the same category twice.
    public function lock(): void
    {
        $name = 'fidmora-' . substr(sha1($this->m['prefix'] . '|' . $this->pdo->query('SELECT DATABASE()')->fetchColumn()), 0, 32);
        $statement = $this->pdo->prepare('SELECT GET_LOCK(?, 60)');
        $statement->execute([$name]);
        if ((int)$statement->fetchColumn() !== 1)
            throw new ShopProblem('магазин занят другой записью, попробуйте позже');
        $this->lockName = $name;
    }

    private ?string $lockName = null;

    public function unlock(): void
    {
        if ($this->lockName !== null)
            $this->pdo->prepare('SELECT RELEASE_LOCK(?)')->execute([$this->lockName]);
        $this->lockName = null;
    }

    // Applies the usable rows of a chunk ([hash, cells, index] each) inside
    // the caller's transaction. Returns [counts, reasons of rows refused].
    // The rows are planned one by one in the order sent, each as if the
    // ones before it were written; the writes are then made for the whole
    // chunk at once, a few statements for each table, so that a chunk costs
    // about the same number of statements whatever its size.
    public function update(array $usable): array
    {
        $this->now = time();
        $this->changed = false;
        $this->children = [];
        $this->uris = [];
        $this->taken = [];
        $this->numbered = [];
        $this->nextNumber = [];
        $this->vendorIds = null;
        $this->emptied = [];
        $this->pending = [];
        $this->categoryIds = [];
        $this->moves = [];
        $this->contentSets = [];
        $this->data = [];
        $this->tvSets = ['url' => [], 'offer' => []];
        $this->keyWrites = [];
        $this->removed = [];
        $this->counts = ['inserted' => 0, 'updated' => 0, 'deleted' => 0, 'absent' => 0, 'unchanged' => 0,
            'categories' => 0];
        $find = $this->pdo->prepare("SELECT id, uri, isfolder FROM {$this->content} WHERE id = ?");
        $find->execute([$this->m['catalogRoot']]);
        $root = $find->fetch(PDO::FETCH_NUM);
        if ($root === false || (int)$root[2] !== 1) {
            error_log("fidmora cron.php: the catalogue root {$this->m['catalogRoot']} is missing or not a folder");
            throw new ShopProblem("каталог (ресурс {$this->m['catalogRoot']} из \"catalogRoot\") не найден или не папка");
        }
        $uri = (string)$root[1];
        $this->root = ['id' => (int)$root[0], 'uri' => $uri === '' || str_ends_with($uri, '/') ? $uri
            : preg_replace('/\.[A-Za-z0-9]+$/', '', $uri) . '/'];
        $this->uris[$this->root['id']] = $this->root['uri'];
        $this->tvIds = $this->tvIdsFor(true);

        $at = array_flip(MODX_COLUMNS);
        $known = $this->knownProducts(array_values(array_unique(array_column($usable, 0))));
        // The rows' prices are checked first, and the categories of the rows
        // that are written are then found or made all together.
        $reasons = [];
        $planned = [];
        $paths = [];
        foreach ($usable as [$hash, $row, $index]) {
            $cells = [];
            foreach ($at as $column => $i)
                $cells[$column] = $row[$i];
            if ($cells['status'] !== '-') {
                foreach (['price', 'oldprice'] as $price) {
                    if (trim($cells[$price]) !== '' && shopPrice($cells[$price]) === null) {
                        $reasons[] = ['row' => $index, 'reason' => "\"$price\" не число или больше 9 999 999 999: "
                            . cutText($cells[$price], 40)];
                        continue 2;
                    }
                }
                $paths[$cells['categoryId']] = true;
            }
            $planned[] = [$hash, $cells];
        }
        $this->resolveCategories(array_map('strval', array_keys($paths)));
        foreach ($planned as [$hash, $cells]) {
            $current = $known[$hash] ?? null;
            $product = $current['product'] ?? null;
            if ($cells['status'] === '-') {
                if (isset($this->pending[$hash])) {
                    unset($this->pending[$hash]);
                    ++$this->counts['deleted'];
                } elseif ($product !== null && !$product['deleted']) {
                    $this->remove($product, $hash);
                    $known[$hash]['product'] = $this->m['onDelete'] === 'remove' ? null : ['deleted' => true] + $product;
                    ++$this->counts['deleted'];
                } else {
                    ++$this->counts['absent'];
                }
                continue;
            }
            $wanted = $this->productOf($cells);
            if (isset($this->pending[$hash])) {
                $this->pending[$hash] = $wanted;
                ++$this->counts['updated'];
            } elseif ($product !== null) {
                $known[$hash]['product'] = $this->change($product, $wanted, $current['written'], $hash);
                $known[$hash]['written'] = $wanted['written'];
                ++$this->counts['updated'];
            } else {
                $this->pending[$hash] = $wanted;
                ++$this->counts['inserted'];
            }
        }
        $this->write();
        $this->unpublishEmptied();
        return [$this->counts, $reasons];
    }

    // What a product is to become, from a row's cells.
    private function productOf(array $cells): array
    {
        $written = [];
        foreach (self::KEPT as $cell)
            $written[$cell] = $cells[$cell];
        return [
            'title' => cutText($cells['name'], 255),
            'alias' => aliasOf($cells['name'], 'tovar'),
            'content' => $cells['description'],
            'parent' => $this->categoryIds[$cells['categoryId']],
            'price' => shopPrice($cells['price']) ?? '0.00',
            'old_price' => shopPrice($cells['oldprice']) ?? '0.00',
            'article' => cutText($cells['id'], 50),
            'image' => cutText($cells['picture'], 255),
            'vendor' => $this->vendorOf(cutText($cells['vendor'], 100)),
            'url' => $cells['url'],
            'offer' => $cells['advcampaign_name'],
            'written' => json_encode($written, JSON_UNESCAPED_UNICODE | JSON_UNESCAPED_SLASHES),
        ];
    }

    // The products named in fidmora_keys for these hashes, as they stand:
    // hash => ['key' => key id, 'written' => text, 'product' => state or null].
    private function knownProducts(array $hashes): array
    {
        $known = [];
        foreach (array_chunk($hashes, 500) as $some) {
            $find = $this->pdo->prepare("SELECT k.key, k.id, k.written, c.id, c.parent, c.pagetitle, c.alias, c.uri, "
                . 'c.content, c.published, c.deleted, p.id, p.price, p.old_price, p.article, p.image, p.vendor, '
                . "tu.value, ta.value FROM {$this->keys} k "
                . "LEFT JOIN {$this->content} c ON c.id = k.resource AND c.class_key = 'msProduct' "
                . "LEFT JOIN {$this->products} p ON p.id = k.resource "
                . "LEFT JOIN {$this->tvValues} tu ON tu.contentid = k.resource AND tu.tmplvarid = ? "
                . "LEFT JOIN {$this->tvValues} ta ON ta.contentid = k.resource AND ta.tmplvarid = ? "
                . 'WHERE k.key IN (' . implode(', ', array_fill(0, count($some), '?')) . ')');
            $find->execute([$this->tvIds['url'], $this->tvIds['offer'], ...$some]);
            foreach ($find->fetchAll(PDO::FETCH_NUM) as $r) {
                $known[$r[0]] = ['key' => (int)$r[1], 'written' => (string)$r[2], 'product' => $r[3] === null ? null : [
                    'id' => (int)$r[3], 'parent' => (int)$r[4], 'title' => (string)$r[5], 'alias' => (string)$r[6],
                    'uri' => (string)$r[7], 'content' => (string)$r[8], 'published' => (bool)$r[9],
                    'deleted' => (bool)$r[10], 'hasData' => $r[11] !== null, 'price' => $r[12], 'old_price' => $r[13],
                    'article' => (string)$r[14], 'image' => (string)$r[15], 'vendor' => (int)$r[16],
                    'url' => (string)$r[17], 'offer' => (string)$r[18],
                ]];
            }
        }
        return $known;
    }

    // The category of each path (into categoryIds), each level found by its
    // title below the level above it, or made. Every level ends up
    // published: a product is shown in it. The paths go down together, a
    // depth at a time: one look-up of the subcategories of all categories
    // met at that depth, one insert of those missing.
    private function resolveCategories(array $paths): void
    {
        $walk = [];  // path => [category reached, levels]
        foreach ($paths as $path)
            $walk[$path] = [$this->root['id'], array_map(fn($level) => cutText($level, 255), self::levels($path))];
        for ($depth = 0; ; ++$depth) {
            $parents = [];
            foreach ($walk as [$id, $titles]) {
                if (isset($titles[$depth]))
                    $parents[$id] = true;
            }
            if ($parents === [])
                break;
            $this->loadChildren(array_keys($parents));
            $missing = [];
            $hidden = [];
            foreach ($walk as [$id, $titles]) {
                if (!isset($titles[$depth]))
                    continue;
                $title = $titles[$depth];
                if (!isset($this->children[$id][$title]))
                    $missing["$id/$title"] ??= [$id, $title];
                elseif (!$this->children[$id][$title][2])
                    $hidden[$this->children[$id][$title][0]] = [$id, $title];
            }
            if ($hidden !== []) {
                $this->pdo->prepare("UPDATE {$this->content} SET published = 1, publishedon = ?, editedon = ? WHERE id IN ("
                    . self::idList(array_keys($hidden)) . ')')->execute([$this->now, $this->now]);
                foreach ($hidden as [$id, $title])
                    $this->children[$id][$title][2] = true;
                $this->changed = true;
            }
            if ($missing !== [])
                $this->createCategories($missing);
            foreach ($walk as $path => [$id, $titles]) {
                if (isset($titles[$depth]))
                    $walk[$path][0] = $this->children[$id][$titles[$depth]][0];
            }
        }
        foreach ($walk as $path => [$id])
            $this->categoryIds[$path] = $id;
    }

    // The msCategory children (not in the bin) of these categories, by
    // title, the first made of each title; each category asked once a chunk.
    private function loadChildren(array $parents): void
    {
        $wanted = array_values(array_filter($parents, fn($parent) => !isset($this->children[$parent])));
        foreach (array_chunk($wanted, self::IN_LIST) as $some) {
            foreach ($some as $parent)
                $this->children[$parent] = [];
            // Sorted here: ORDER BY id would have the database walk the whole
            // table by its ids rather than use the index of parents.
            $find = $this->pdo->query("SELECT id, parent, pagetitle, uri, published FROM {$this->content} "
                . 'WHERE parent IN (' . self::idList($some) . ") AND class_key = 'msCategory' AND deleted = 0");
            $found = $find->fetchAll(PDO::FETCH_NUM);
            usort($found, fn($a, $b) => (int)$a[0] <=> (int)$b[0]);
            foreach ($found as [$id, $parent, $title, $uri, $published]) {
                $this->children[(int)$parent][(string)$title] ??= [(int)$id, (string)$uri, (bool)$published];
                $this->uris[(int)$id] = (string)$uri;
            }
        }
    }

    // Makes the categories [parent id, title] of one depth, with addresses
    // unique in the context.
    private function createCategories(array $missing): void
    {
        $wanted = [];
        foreach ($missing as $at => [$parent, $title])
            $wanted[$at] = [$this->uriOf($parent), aliasOf($title, 'category'), '/'];
        $free = $this->freeUris($wanted);
        $rows = [];
        foreach ($missing as $at => [$parent, $title])
            $rows[] = ['document', 'text/html', $title, $free[$at][0], 1, $parent, 1, '', $this->m['categoryTemplate'],
                $this->now, $this->now, $this->now, 'msCategory', $this->m['context'], $free[$at][1], 1];
        $ids = $this->insertResources($rows);
        foreach ($missing as $at => [$parent, $title]) {
            $id = $ids[$free[$at][1]];
            $this->children[$parent][$title] = [$id, $free[$at][1], true];
            $this->children[$id] = [];  // new: nothing below it yet
            $this->uris[$id] = $free[$at][1];
        }
        $this->counts['categories'] += count($missing);
        $this->changed = true;
    }

    private function uriOf(int $category): string
    {
        if (!isset($this->uris[$category])) {
            $find = $this->pdo->prepare("SELECT uri FROM {$this->content} WHERE id = ?");
            $find->execute([$category]);
            $this->uris[$category] = (string)$find->fetchColumn();
        }
        return $this->uris[$category];
    }

    // Ints as a list for IN (...): ids of the shop, never text of a request.
    private static function idList(array $ids): string
    {
        return implode(', ', array_map('intval', $ids));
    }

    // An alias and uri below $parentUri, for an alias whose own uri is held:
    // the alias with "-2", "-3", ..., the first that no resource of the
    // context holds yet. $heldNow: uris known to be held (keyed by uriKey).
    // The numbered uris of an alias that the context holds are asked once a
    // chunk; the ones the chunk gives out are in taken. Neither set shrinks,
    // so the search for the next free number goes on where the last one for
    // the same alias stopped.
    private function numberedUri(string $parentUri, string $alias, string $suffix, array $heldNow): array
    {
        $stem = $parentUri . $alias;
        if (!isset($this->numbered[self::uriKey($stem)])) {
            $find = $this->pdo->prepare("SELECT uri FROM {$this->content} WHERE context_key = ? AND uri LIKE ?");
            $find->execute([$this->m['context'], addcslashes($stem, '%_\\') . '-%']);
            $this->numbered[self::uriKey($stem)] = array_flip(array_map(fn($uri) => self::uriKey((string)$uri),
                $find->fetchAll(PDO::FETCH_COLUMN)));
        }
        $held = $this->numbered[self::uriKey($stem)];
        $next = self::uriKey($stem . $suffix);
        for ($n = $this->nextNumber[$next] ?? 2; ; ++$n) {
            $key = self::uriKey("$stem-$n$suffix");
            if (!isset($held[$key]) && !isset($this->taken[$key]) && !isset($heldNow[$key]))
                break;
        }
        $this->nextNumber[$next] = $n + 1;
        $this->taken[$key] = true;
        return ["$alias-$n", "$stem-$n$suffix"];
    }

    // A uri as the database tells uris apart: its collations ignore the
    // case of letters.
    private static function uriKey(string $uri): string
    {
        return strtolower($uri);
    }

    // An alias and uri below the parent's uri that no resource of the
    // context holds yet, for many at once ([parent uri, alias, suffix] by any
    // key, in the order they are to be served): the alias itself, else a
    // numbered one. The first choices are asked for all together.
    private function freeUris(array $wanted): array
    {
        $first = [];
        foreach ($wanted as $at => [$parentUri, $alias, $suffix])
            $first[$at] = $parentUri . $alias . $suffix;
        $held = [];
        foreach (array_chunk(array_values(array_unique($first)), self::IN_LIST) as $some) {
            $find = $this->pdo->prepare("SELECT uri FROM {$this->content} WHERE context_key = ? AND uri IN ("
                . implode(', ', array_fill(0, count($some), '?')) . ')');
            $find->execute([$this->m['context'], ...$some]);
            foreach ($find->fetchAll(PDO::FETCH_COLUMN) as $uri)
                $held[self::uriKey($uri)] = true;
        }
        $free = [];
        foreach ($wanted as $at => [$parentUri, $alias, $suffix]) {
            $key = self::uriKey($first[$at]);
            if (!isset($held[$key]) && !isset($this->taken[$key])) {
                $this->taken[$key] = true;
                $free[$at] = [$alias, $first[$at]];
            } else {
                $free[$at] = $this->numberedUri($parentUri, $alias, $suffix, $held);
            }
        }
        return $free;
    }

    private function vendorOf(string $name): int
    {
        if ($name === '')
            return 0;
        if ($this->vendorIds === null) {
            $this->vendorIds = [];
            foreach ($this->pdo->query("SELECT id, name FROM {$this->vendors} ORDER BY id")->fetchAll(PDO::FETCH_NUM)
                    as [$id, $vendor])
                $this->vendorIds[(string)$vendor] ??= (int)$id;
        }
        if (!isset($this->vendorIds[$name])) {
            $this->pdo->prepare("INSERT INTO {$this->vendors} (name) VALUES (?)")->execute([$name]);
            $this->vendorIds[$name] = (int)$this->pdo->lastInsertId();
            $this->changed = true;
        }
        return $this->vendorIds[$name];
    }

    // Columns of a new resource, in the order insertResources takes them.
    private const RESOURCE_COLUMNS = ['type', 'contentType', 'pagetitle', 'alias', 'published', 'parent', 'isfolder',
        'content', 'template', 'createdon', 'editedon', 'publishedon', 'class_key', 'context_key', 'uri',
        'show_in_tree'];

    // Inserts resources (lists of values in RESOURCE_COLUMNS order, each uri
    // unique in the context) and returns their ids by uri. They are read
    // back from the first id the insert gave out on, in the order of the
    // ids; any not met there (ids given out otherwise) by their uris.
    private function insertResources(array $rows): array
    {
        $first = $this->insertRows($this->content, self::RESOURCE_COLUMNS, $rows);
        $parentOf = [];
        foreach ($rows as $row)
            $parentOf[$row[14]] = (int)$row[5];
        $ids = [];
        $take = function (array $found) use (&$ids, $parentOf): void {
            foreach ($found as [$id, $uri, $parent, $context]) {
                if (isset($parentOf[$uri]) && !isset($ids[$uri]) && (int)$parent === $parentOf[$uri]
                        && $context === $this->m['context'])
                    $ids[$uri] = (int)$id;
            }
        };
        if ($first > 0) {
            $find = $this->pdo->prepare("SELECT id, uri, parent, context_key FROM {$this->content} WHERE id >= ? ORDER BY id");
            $find->bindValue(1, $first, PDO::PARAM_INT);
            $find->execute();
            $take($find->fetchAll(PDO::FETCH_NUM));
        }
        $left = array_keys(array_diff_key($parentOf, $ids));
        foreach (array_chunk($left, self::IN_LIST) as $some) {
            $find = $this->pdo->prepare("SELECT id, uri, parent, context_key FROM {$this->content} WHERE context_key = ? "
                . 'AND uri IN (' . implode(', ', array_fill(0, count($some), '?')) . ') ORDER BY id');
            $find->execute([$this->m['context'], ...array_map('strval', $some)]);
            $take($find->fetchAll(PDO::FETCH_NUM));
        }
        if (count($ids) !== count($parentOf))
            throw new RuntimeException('new resources not found again by their uris');
        return $ids;
    }

    // Multi-row INSERTs of $rows (lists of values in $columns order), cut
    // into statements of about BATCH_BYTES. Returns the first id the first
    // statement gave out, or 0.
    private function insertRows(string $table, array $columns, array $rows, string $tail = ''): int
    {
        $row = '(' . implode(', ', array_fill(0, count($columns), '?')) . ')';
        $head = "INSERT INTO $table (" . implode(', ', $columns) . ') VALUES ';
        $values = [];
        $count = 0;
        $bytes = 0;
        $first = null;
        $flush = function () use (&$values, &$count, &$bytes, &$first, $head, $row, $tail): void {
            if ($count > 0) {
                $this->pdo->prepare($head . implode(', ', array_fill(0, $count, $row)) . " $tail")->execute($values);
                $first ??= (int)$this->pdo->lastInsertId();
            }
            $values = [];
            $count = 0;
            $bytes = 0;
        };
        foreach ($rows as $cells) {
            foreach ($cells as $cell) {
                $values[] = $cell;
                $bytes += is_string($cell) ? strlen($cell) : 8;
            }
            if (++$count >= 1000 || $bytes >= self::BATCH_BYTES)
                $flush();
        }
        $flush();
        return $first ?? 0;
    }

    // Plans bringing an existing product to what it is to become, writing
    // only what differs. Returns its new state.
    private function change(array $is, array $wanted, string $written, string $hash): array
    {
        $set = [];
        if ($is['title'] !== $wanted['title'])
            $set['pagetitle'] = $wanted['title'];
        if ($is['content'] !== $wanted['content'])
            $set['content'] = $wanted['content'];
        if ($is['parent'] !== $wanted['parent']) {
            // Moved: its address follows its new category; it is given out
            // with those of the new products. Moved back within the chunk,
            // it keeps the address it has.
            $id = $is['id'];
            $from = $this->moves[$id][2] ?? $is['parent'];
            if ($wanted['parent'] === $from)
                unset($this->moves[$id]);
            else
                $this->moves[$id] = [$wanted['parent'], $is['alias'] !== '' ? $is['alias'] : $wanted['alias'], $from];
            $set['parent'] = $wanted['parent'];
            $this->emptied[$is['parent']] = true;
        }
        // Back from the bin it was put in when the good left the feed; a
        // product the site's owner unpublished stays as they left it.
        if ($is['deleted'])
            $set += ['published' => 1, 'publishedon' => $this->now, 'deleted' => 0, 'deletedon' => 0];
        $data = [$wanted['article'], $wanted['price'], $wanted['old_price'], $wanted['image'], $wanted['vendor']];
        $touched = $set !== [];
        if (!$is['hasData'] || [$is['article'], $is['price'], $is['old_price'], $is['image'], $is['vendor']] !== $data) {
            $this->data[$is['id']] = [$is['id'], ...$data];
            $touched = true;
        }
        foreach (['url', 'offer'] as $tv) {
            if ($is[$tv] === $wanted[$tv])
                continue;
            $touched = true;
            $this->tvSets[$tv][$is['id']] = $wanted[$tv];
        }
        // The resource counts as edited whatever part of it changed, as in
        // the manager.
        if ($touched) {
            $set['editedon'] = $this->now;
            $this->contentSets[$is['id']] = $set + ($this->contentSets[$is['id']] ?? []);
        }
        if ($written !== $wanted['written'] || $touched)
            $this->keyWrites[$hash] = [$hash, $is['id'], $wanted['written'], $this->now, $this->now];
        if ($touched) {
            $this->changed = true;
        } else {
            ++$this->counts['unchanged'];
        }
        return ['parent' => $wanted['parent'], 'title' => $wanted['title'], 'content' => $wanted['content'],
            'published' => $is['published'] || $is['deleted'], 'deleted' => false, 'hasData' => true, 'article' => $wanted['article'],
            'price' => $wanted['price'], 'old_price' => $wanted['old_price'], 'image' => $wanted['image'],
            'vendor' => $wanted['vendor'], 'url' => $wanted['url'], 'offer' => $wanted['offer']] + $is;
    }

    // A good gone from the feed: into MODX's bin, unpublished, or removed
    // with everything of it when the configuration asks.
    private function remove(array $product, string $hash): void
    {
        $id = $product['id'];
        if ($this->m['onDelete'] === 'remove') {
            // What the chunk planned for it before goes with it.
            $this->removed[$id] = true;
            unset($this->contentSets[$id], $this->data[$id], $this->moves[$id], $this->tvSets['url'][$id],
                $this->tvSets['offer'][$id], $this->keyWrites[$hash]);
        } else {
            $this->contentSets[$id] = ['published' => 0, 'deleted' => 1, 'deletedon' => $this->now,
                'editedon' => $this->now] + ($this->contentSets[$id] ?? []);
        }
        $this->emptied[$product['parent']] = true;
        $this->changed = true;
    }

    // Writes what the chunk planned: removals, changes of resources, the
    // new products, then the shop data, TVs and keys of both.
    private function write(): void
    {
        // Addresses of moved and of new products, asked for all at once.
        $wanted = [];
        foreach ($this->moves as $id => [$parent, $alias])
            $wanted["m$id"] = [$this->uriOf($parent), $alias, '.html'];
        foreach ($this->pending as $hash => $product)
            $wanted["n$hash"] = [$this->uriOf($product['parent']), $product['alias'], '.html'];
        $free = $wanted === [] ? [] : $this->freeUris($wanted);
        foreach ($this->moves as $id => $move)
            $this->contentSets[$id] = ['alias' => $free["m$id"][0], 'uri' => $free["m$id"][1]] + $this->contentSets[$id];

        if ($this->removed !== []) {
            foreach (array_chunk(array_keys($this->removed), self::IN_LIST) as $some) {
                foreach ([[$this->content, 'id'], [$this->products, 'id'], [$this->tvValues, 'contentid'],
                        [$this->productCategories, 'product_id'], [$this->keys, 'resource']] as [$table, $column])
                    $this->pdo->exec("DELETE FROM $table WHERE $column IN (" . self::idList($some) . ')');
            }
        }
        $this->updateContent();

        $keys = array_values($this->keyWrites);
        if ($this->pending !== []) {
            $this->changed = true;
            $now = $this->now;
            $rows = [];
            foreach ($this->pending as $hash => $p)
                $rows[] = ['document', 'text/html', $p['title'], $free["n$hash"][0], 1, $p['parent'], 0, $p['content'],
                    $this->m['productTemplate'], $now, $now, $now, 'msProduct', $this->m['context'], $free["n$hash"][1], 0];
            $ids = $this->insertResources($rows);
            foreach ($this->pending as $hash => $p) {
                $id = $ids[$free["n$hash"][1]];
                $this->data[$id] = [$id, $p['article'], $p['price'], $p['old_price'], $p['image'], $p['vendor']];
                foreach (['url', 'offer'] as $tv) {
                    if ($p[$tv] !== '')
                        $this->tvSets[$tv][$id] = $p[$tv];
                }
                $keys[] = [$hash, $id, $p['written'], $now, $now];
            }
        }
        $this->insertRows($this->products, ['id', 'article', 'price', 'old_price', 'image', 'vendor'], $this->data,
            'ON DUPLICATE KEY UPDATE article = VALUES(article), price = VALUES(price), old_price = VALUES(old_price), '
            . 'image = VALUES(image), vendor = VALUES(vendor)');
        $tvs = [];
        foreach ($this->tvSets as $tv => $values) {
            $cleared = [];
            foreach ($values as $id => $value) {
                if ($value === '')
                    $cleared[] = $id;
                else
                    $tvs[] = [$this->tvIds[$tv], $id, $value];
            }
            foreach (array_chunk($cleared, self::IN_LIST) as $some)
                $this->pdo->prepare("DELETE FROM {$this->tvValues} WHERE tmplvarid = ? AND contentid IN ("
                    . self::idList($some) . ')')->execute([$this->tvIds[$tv]]);
        }
        $this->insertRows($this->tvValues, ['tmplvarid', 'contentid', 'value'], $tvs,
            'ON DUPLICATE KEY UPDATE value = VALUES(value)');
        // A key whose product was removed by hand gets the new one.
        $this->insertRows($this->keys, ['`key`', 'resource', 'written', 'created', 'updated'], $keys,
            'ON DUPLICATE KEY UPDATE resource = VALUES(resource), written = VALUES(written), updated = VALUES(updated)');
    }

    // The planned changes of existing resources: one UPDATE for each set of
    // columns changed together (and up to 500 resources or BATCH_BYTES); a
    // column that differs between them takes its value by id.
    private function updateContent(): void
    {
        $groups = [];
        foreach ($this->contentSets as $id => $set) {
            ksort($set);
            $groups[implode(',', array_keys($set))][$id] = $set;
        }
        foreach ($groups as $names => $sets) {
            $batch = [];
            $bytes = 0;
            foreach ($sets as $id => $set) {
                $batch[$id] = $set;
                foreach ($set as $value)
                    $bytes += is_string($value) ? strlen($value) : 8;
                if (count($batch) >= 500 || $bytes >= self::BATCH_BYTES) {
                    $this->updateResources(explode(',', $names), $batch);
                    $batch = [];
                    $bytes = 0;
                }
            }
            if ($batch !== [])
                $this->updateResources(explode(',', $names), $batch);
        }
    }

    private function updateResources(array $columns, array $sets): void
    {
        $parts = [];
        $values = [];
        foreach ($columns as $column) {
            $column = (string)$column;
            $all = array_column($sets, $column);
            if (count(array_filter($all, fn($value) => $value !== $all[0])) === 0) {
                $parts[] = "$column = ?";
                $values[] = $all[0];
                continue;
            }
            $case = "$column = CASE id";
            foreach ($sets as $id => $set) {
                $case .= ' WHEN ' . (int)$id . ' THEN ?';
                $values[] = $set[$column];
            }
            $parts[] = "$case ELSE $column END";
        }
        $this->pdo->prepare("UPDATE {$this->content} SET " . implode(', ', $parts) . ' WHERE id IN ('
            . self::idList(array_keys($sets)) . ')')->execute($values);
    }

    // Categories that lost products and hold nothing published any more are
    // unpublished, and so upwards; never deleted, never the catalogue root.
    // A category is asked again when one below it was unpublished after it
    // was first found still showing something.
    private function unpublishEmptied(): void
    {
        $hidden = [];
        $ask = array_keys($this->emptied);
        while (($ask = array_values(array_filter(array_unique($ask), fn($id) => $id !== $this->root['id'] && $id !== 0
                && !isset($hidden[$id])))) !== []) {
            $next = [];
            foreach (array_chunk($ask, self::IN_LIST) as $some) {
                $list = self::idList($some);
                $categories = $this->pdo->query("SELECT id, parent, published FROM {$this->content} WHERE id IN ($list) "
                    . "AND class_key = 'msCategory'")->fetchAll(PDO::FETCH_NUM);
                $showing = array_flip(array_map('intval', $this->pdo->query("SELECT DISTINCT parent FROM {$this->content} "
                    . "WHERE parent IN ($list) AND published = 1 AND deleted = 0")->fetchAll(PDO::FETCH_COLUMN)));
                $hide = [];
                foreach ($categories as [$id, $parent, $published]) {
                    if (isset($showing[(int)$id]))
                        continue;
                    $hidden[(int)$id] = true;
                    if ((int)$published === 1)
                        $hide[] = (int)$id;
                    $next[] = (int)$parent;
                }
                if ($hide !== []) {
                    $this->pdo->prepare("UPDATE {$this->content} SET published = 0, editedon = ? WHERE id IN ("
                        . self::idList($hide) . ')')->execute([$this->now]);
                    $this->changed = true;
                }
            }
            $ask = $next;
        }
    }

    // After a chunk that changed the shop: MODX's cached pages of the
    // context and its map of addresses go, so that the shop shows the change
    // at once. Only MODX's cache files (*.cache.php) are removed.
    public function clearCache(): void
    {
        if (!$this->changed || $this->m['cachePath'] === null)
            return;
        $cache = rtrim($this->m['cachePath'], '/\\');
        foreach (["$cache/resource/{$this->m['context']}", "$cache/context_settings/{$this->m['context']}"] as $folder) {
            if (!is_dir($folder))
                continue;
            try {
                $files = new RecursiveIteratorIterator(new RecursiveDirectoryIterator($folder,
                    FilesystemIterator::SKIP_DOTS));
                foreach ($files as $file) {
                    if ($file->isFile() && !$file->isLink() && str_ends_with($file->getFilename(), '.cache.php'))
                        unlink($file->getPathname());
                }
            } catch (Throwable $e) {
                // The change is in the database; a page shown from an old
                // cache file is the site owner's to clear.
                error_log('fidmora cron.php: clearing the MODX cache: ' . $e->getMessage());
            }
        }
    }
}

function countRows(PDO $pdo, array $config): int
{
    if ($config['mode'] === 'modx')
        return (new ModxShop($pdo, $config))->count();
    $q = quoter($pdo);
    return (int)$pdo->query('SELECT COUNT(*) FROM ' . $q($config['table']))->fetchColumn();
}

function actionConfigure(array $config): never
{
    $pdo = openDatabase($config);
    answer(['success' => true, 'message' => 'Конфигурация', 'object' => [
        'header' => $config['columns'],
        'chunkSize' => $config['chunkSize'],
        'existDataSize' => countRows($pdo, $config),
    ]]);
}

// Rows of the goods table from $offset on, with the id of the last one.
// $after, when given, is the id of the row before $offset.
function readTable(PDO $pdo, array $config, int $limit, int $offset, ?int $after): array
{
    $q = quoter($pdo);
    $id = $q('fidmora_id');
    $select = "SELECT $id, " . implode(', ', array_map($q, $config['columns'])) . ' FROM ' . $q($config['table']);
    if ($after !== null) {
        $statement = $pdo->prepare("$select WHERE $id > ? ORDER BY $id LIMIT ?");
        $statement->bindValue(1, $after, PDO::PARAM_INT);
        $statement->bindValue(2, $limit, PDO::PARAM_INT);
    } else {
        $statement = $pdo->prepare("$select ORDER BY $id LIMIT ? OFFSET ?");
        $statement->bindValue(1, $limit, PDO::PARAM_INT);
        $statement->bindValue(2, $offset, PDO::PARAM_INT);
    }
    $statement->execute();
    $rows = [];
    $last = null;
    while (($row = $statement->fetch()) !== false) {
        $last = (int)array_shift($row);
        $rows[] = array_map(fn($value) => $value === null ? '' : (string)$value, $row);
    }
    return [$rows, $last];
}

function actionData(array $config, $object): never
{
    $limit = is_array($object) ? ($object['limit'] ?? null) : null;
    $offset = is_array($object) ? ($object['offset'] ?? null) : null;
    if (!is_int($limit) || $limit < 1 || $limit > MAX_DATA_LIMIT || !is_int($offset) || $offset < 0)
        refuse('"data" ждёт объект с целыми "limit" (1–' . MAX_DATA_LIMIT . ') и "offset" (от 0)');
    $pdo = openDatabase($config);
    // A reading goes on where the previous chunk ended: it continues after
    // that chunk's last row instead of stepping over all rows before it
    // again, which makes reading a large table take quadratic time.
    $cursor = $_SESSION['fidmora_cursor'] ?? null;
    $after = is_array($cursor) && $cursor[0] === $offset && $cursor[2] === $config['mode'] ? $cursor[1] : null;
    [$rows, $last] = $config['mode'] === 'modx'
        ? (new ModxShop($pdo, $config))->read($limit, $offset, $after)
        : readTable($pdo, $config, $limit, $offset, $after);
    $count = count($rows);
    $_SESSION['fidmora_cursor'] = $last === null ? null : [$offset + $count, $last, $config['mode']];
    $message = $count === 0 ? "Строк после $offset нет" : sprintf('Строки %d–%d', $offset + 1, $offset + $count);
    answer(['success' => true, 'message' => $message, 'object' => $rows]);
}

// The rows of an "update" that can be written, each [identity hash, cells],
// and the reasons of those that cannot.
function usableRows(array $rows, array $columns): array
{
    $at = array_flip($columns);
    $usable = [];
    $reasons = [];
    foreach ($rows as $index => $row) {
        $why = null;
        if (!is_array($row) || !array_is_list($row) || count($row) !== count($columns)) {
            $why = 'строка должна быть списком из ' . count($columns) . ' ячеек';
        } elseif (count(array_filter($row, 'is_string')) !== count($row)) {
            $why = 'все ячейки должны быть строками';
        } else {
            [$identity, $why] = identityKey($row, $at);
            if ($identity !== null)
                $usable[] = [sha1($identity), $row, $index];
        }
        if ($why !== null)
            $reasons[] = ['row' => $index, 'reason' => $why];
    }
    return [$usable, $reasons];
}

// The goods table: upserts by the identity's hash.
function updateTable(PDO $pdo, array $config, array $usable): array
{
    $columns = $config['columns'];
    $at = array_flip($columns);
    $mysql = isMysql($pdo);
    $q = quoter($pdo);
    $table = $q($config['table']);
    $key = $q('fidmora_key');
    // An upsert: a good another writer put in meanwhile is updated, not
    // inserted twice.
    $names = implode(', ', array_map($q, $columns));
    $marks = implode(', ', array_fill(0, count($columns) + 1, '?'));
    $upsert = $pdo->prepare("INSERT INTO $table ($key, $names) VALUES ($marks) " . ($mysql
        ? 'ON DUPLICATE KEY UPDATE ' . implode(', ', array_map(fn($c) => $q($c) . ' = VALUES(' . $q($c) . ')', $columns))
        : "ON CONFLICT ($key) DO UPDATE SET " . implode(', ', array_map(fn($c) => $q($c) . ' = excluded.' . $q($c), $columns))));
    $delete = $pdo->prepare("DELETE FROM $table WHERE $key = ?");
    // Which goods the site holds is asked inside the chunk's transaction,
    // for the whole chunk at once, so that the counts hold even with
    // another writer at work.
    $held = [];
    $hashes = array_values(array_unique(array_column($usable, 0)));
    foreach (array_chunk($hashes, 500) as $some) {
        $find = $pdo->prepare("SELECT $key FROM $table WHERE $key IN (" . implode(', ', array_fill(0, count($some), '?')) . ')');
        $find->execute($some);
        foreach ($find->fetchAll(PDO::FETCH_COLUMN) as $hash)
            $held[$hash] = true;
    }
    $counts = ['inserted' => 0, 'updated' => 0, 'deleted' => 0, 'absent' => 0];
    foreach ($usable as [$hash, $row]) {
        if (isset($at['status']) && $row[$at['status']] === '-') {
            $delete->execute([$hash]);
            ++$counts[$delete->rowCount() > 0 ? 'deleted' : 'absent'];
            unset($held[$hash]);
            continue;
        }
        $upsert->execute([$hash, ...$row]);
        // MySQL tells an insert (1) from an update (2, or 0 when nothing
        // changed); SQLite holds the write lock since the look-up.
        $inserted = $mysql ? $upsert->rowCount() === 1 : !isset($held[$hash]);
        ++$counts[$inserted ? 'inserted' : 'updated'];
        $held[$hash] = true;
    }
    return [$counts, []];
}

function actionUpdate(array $config, $rows): never
{
    if (!is_array($rows) || !array_is_list($rows))
        refuse('"update" ждёт список строк');
    [$usable, $reasons] = usableRows($rows, $config['columns']);
    $pdo = openDatabase($config);
    $shop = $config['mode'] === 'modx' ? new ModxShop($pdo, $config) : null;
    // One transaction per chunk: the chunk is applied whole or not at all.
    try {
        $shop?->lock();
        [$counts, $more] = inWriteTransaction($pdo, fn() => $shop ? $shop->update($usable) : updateTable($pdo, $config, $usable));
    } catch (ShopProblem $e) {
        refuse('Порция не записана, сайт не изменён: ' . $e->getMessage());
    } catch (Throwable $e) {
        refuse('Порция не записана, сайт не изменён: ' . databaseReason($e), 200,
            $e instanceof PDOException ? 'database' : '');
    } finally {
        $shop?->unlock();
    }
    $shop?->clearCache();
    $reasons = array_merge($reasons, $more);
    usort($reasons, fn($a, $b) => $a['row'] <=> $b['row']);
    $counts['rejected'] = count($reasons);
    $message = sprintf('Добавлено %d, изменено %d, удалено %d, не найдено для удаления %d, отклонено %d',
        $counts['inserted'], $counts['updated'], $counts['deleted'], $counts['absent'], $counts['rejected']);
    if (isset($counts['unchanged']))
        $message .= sprintf(' (без изменений %d, новых категорий %d)', $counts['unchanged'], $counts['categories']);
    answer(['success' => true, 'message' => $message,
        'object' => $counts + ['reasons' => array_slice($reasons, 0, MAX_REASONS)]]);
}

// The address a login is counted against: an IPv6 host has a whole /64 to
// change addresses in, so the /64 counts as one.
function clientAddress(): string
{
    $address = (string)($_SERVER['REMOTE_ADDR'] ?? '');
    if (filter_var($address, FILTER_VALIDATE_IP, FILTER_FLAG_IPV6) !== false)
        return bin2hex(substr((string)inet_pton($address), 0, 8)) . '::/64';
    return substr($address, 0, 64);
}

// Counts a login attempt against its address before the password is
// looked at, so that parallel guesses are counted too. Returns the seconds
// still to wait, or 0 when the attempt may go on. A successful login then
// clears the address (forgiveLogins).
function admitLogin(PDO $pdo, string $table, string $address): int
{
    $mysql = isMysql($pdo);
    return inWriteTransaction($pdo, function () use ($pdo, $table, $address, $mysql): int {
        $now = microtime(true);
        $pdo->prepare("DELETE FROM $table WHERE seen < ?")->execute([(int)$now - 86400]);
        $pdo->prepare(($mysql ? 'INSERT IGNORE' : 'INSERT OR IGNORE')
            . " INTO $table (address, failures, waitUntil, seen) VALUES (?, 0, 0, ?)")->execute([$address, (int)$now]);
        $find = $pdo->prepare("SELECT failures, waitUntil FROM $table WHERE address = ?" . ($mysql ? ' FOR UPDATE' : ''));
        $find->execute([$address]);
        [$failures, $waitUntil] = $find->fetch(PDO::FETCH_NUM);
        if ((float)$waitUntil > $now)
            return (int)ceil((float)$waitUntil - $now);
        $failures = (int)$failures + 1;
        $wait = $failures >= FREE_LOGIN_FAILURES ? min(MAX_LOGIN_WAIT, 2 ** ($failures - FREE_LOGIN_FAILURES)) : 0;
        $pdo->prepare("UPDATE $table SET failures = ?, waitUntil = ?, seen = ? WHERE address = ?")
            ->execute([$failures, $wait > 0 ? $now + $wait : 0, (int)$now, $address]);
        return 0;
    });
}

function forgiveLogins(PDO $pdo, string $table, string $address): void
{
    $pdo->prepare("DELETE FROM $table WHERE address = ?")->execute([$address]);
}

// A hash of the same kind and cost as the configured one that no password
// matches: a login under an unknown name takes as long as one under the
// right name, so the time of the answer does not tell the name.
function dummyHash(string $hash): string
{
    $info = password_get_info($hash);
    $options = $info['options'];
    $fixed = fn(int $bytes) => rtrim(base64_encode(substr(str_repeat('fidmora!', 8), 0, $bytes)), '=');
    if ($info['algoName'] === 'bcrypt')
        return sprintf('$2y$%02d$', $options['cost']) . substr(str_repeat('fidmoradummy', 5), 0, 53);
    if (in_array($info['algoName'], ['argon2i', 'argon2id'], true))
        return sprintf('$%s$v=19$m=%d,t=%d,p=%d$%s$%s', $info['algoName'], $options['memory_cost'],
            $options['time_cost'], $options['threads'], $fixed(16), $fixed(32));
    return $hash;
}

function actionLogin(array $config, $object): never
{
    $login = is_array($object) ? ($object['login'] ?? null) : null;
    $password = is_array($object) ? ($object['password'] ?? null) : null;
    $pdo = openDatabase($config);
    $table = quoter($pdo)(loginTable($config));
    $address = clientAddress();
    try {
        $wait = admitLogin($pdo, $table, $address);
    } catch (Throwable $e) {
        refuse('Вход не проверен: ' . databaseReason($e), 503, 'database');
    }
    if ($wait > 0) {
        header("Retry-After: $wait");
        refuse("Вход отклонён: слишком много попыток, повторите через $wait с", 429);
    }
    $nameOk = is_string($login) && hash_equals($config['login'], $login);
    $passwordOk = is_string($password)
        && password_verify($password, $nameOk ? $config['passwordHash'] : dummyHash($config['passwordHash']));
    if (!$nameOk || !$passwordOk) {
        $_SESSION = [];
        refuse('Неверный логин или пароль', 200, 'credentials');
    }
    forgiveLogins($pdo, $table, $address);
    session_regenerate_id(true);
    $_SESSION['fidmora_login'] = $login;
    answer(['success' => true, 'message' => 'Вход выполнен']);
}

$config = loadConfig();
checkRequestKind();
// A session is resumed only when the request brings its cookie: a stranger's
// request creates no session file, and is held to the small body limit.
if (isset($_COOKIE[SESSION_NAME]) && is_string($_COOKIE[SESSION_NAME]))
    startSession($config);
$loggedIn = isset($_SESSION['fidmora_login']) && $_SESSION['fidmora_login'] === $config['login'];
$request = readRequest($loggedIn ? $config['maxBodyBytes'] : min(ANONYMOUS_MAX_BODY, $config['maxBodyBytes']));
$object = $request['object'] ?? null;
if ($request['action'] === 'login') {
    if (session_status() !== PHP_SESSION_ACTIVE)
        startSession($config);
    actionLogin($config, $object);
}
if (!$loggedIn)
    refuse('Нужен вход: сначала "login"');
// Only a reading keeps its place in the session; the rest leave it at once,
// so that other requests of the same login are not held up.
if ($request['action'] !== 'data')
    session_write_close();
match ($request['action']) {
    'configure' => actionConfigure($config),
    'data' => actionData($config, $object),
    'update' => actionUpdate($config, $object),
    default => refuse('Неизвестное действие ' . json_encode($request['action'], JSON_UNESCAPED_UNICODE)),
};
