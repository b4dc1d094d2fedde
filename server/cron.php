<?php
// The site's end of the Fidmora exchange: the program reads the goods the
// site holds and writes back what changed, in chunks of rows, as JSON over
// HTTP POST. Actions: "login", "configure", "data", "update". Every answer is
// one JSON object {"success": bool, "message": text, "object": payload};
// PHP's own warnings never reach the body.
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

function refuse(string $message, int $status = 200): never
{
    answer(['success' => false, 'message' => $message], $status);
}

// Warnings become exceptions; whatever escapes is logged for the site owner
// and answered with a plain message, so that the body stays JSON.
set_error_handler(function (int $severity, string $message, string $file, int $line): bool {
    throw new ErrorException($message, 0, $severity, $file, $line);
});
set_exception_handler(function (Throwable $e): void {
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

function countRows(PDO $pdo, array $config): int
{
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

function actionData(array $config, $object): never
{
    $limit = is_array($object) ? ($object['limit'] ?? null) : null;
    $offset = is_array($object) ? ($object['offset'] ?? null) : null;
    if (!is_int($limit) || $limit < 1 || $limit > MAX_DATA_LIMIT || !is_int($offset) || $offset < 0)
        refuse('"data" ждёт объект с целыми "limit" (1–' . MAX_DATA_LIMIT . ') и "offset" (от 0)');
    $pdo = openDatabase($config);
    $q = quoter($pdo);
    $id = $q('fidmora_id');
    $select = "SELECT $id, " . implode(', ', array_map($q, $config['columns'])) . ' FROM ' . $q($config['table']);
    // A reading goes on where the previous chunk ended: it continues after
    // that chunk's last row instead of stepping over all rows before it
    // again, which makes reading a large table take quadratic time.
    $cursor = $_SESSION['fidmora_cursor'] ?? null;
    if (is_array($cursor) && $cursor[0] === $offset) {
        $statement = $pdo->prepare("$select WHERE $id > ? ORDER BY $id LIMIT ?");
        $statement->bindValue(1, $cursor[1], PDO::PARAM_INT);
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
    $count = count($rows);
    $_SESSION['fidmora_cursor'] = $last === null ? null : [$offset + $count, $last];
    $message = $count === 0 ? "Строк после $offset нет" : sprintf('Строки %d–%d', $offset + 1, $offset + $count);
    answer(['success' => true, 'message' => $message, 'object' => $rows]);
}

function actionUpdate(array $config, $rows): never
{
    if (!is_array($rows) || !array_is_list($rows))
        refuse('"update" ждёт список строк');
    $columns = $config['columns'];
    $at = array_flip($columns);
    $pdo = openDatabase($config);
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

    $reasons = [];
    $reject = function (int $index, string $why) use (&$reasons): void {
        $reasons[] = ['row' => $index, 'reason' => $why];
    };
    // The rows that can be written, with the hash of their identity.
    $usable = [];
    foreach ($rows as $index => $row) {
        if (!is_array($row) || !array_is_list($row) || count($row) !== count($columns)) {
            $reject($index, 'строка должна быть списком из ' . count($columns) . ' ячеек');
        } elseif (count(array_filter($row, 'is_string')) !== count($row)) {
            $reject($index, 'все ячейки должны быть строками');
        } else {
            [$identity, $why] = identityKey($row, $at);
            if ($identity === null)
                $reject($index, $why);
            else
                $usable[] = [sha1($identity), $row];
        }
    }

    // One transaction per chunk: the chunk is applied whole or not at all.
    // Which goods the site holds is asked inside it, for the whole chunk at
    // once, so that the counts hold even with another writer at work.
    try {
        $counts = inWriteTransaction($pdo, function () use ($pdo, $q, $table, $key, $mysql, $upsert, $delete,
                $usable, $at): array {
            $held = [];
            $hashes = array_values(array_unique(array_column($usable, 0)));
            foreach (array_chunk($hashes, 500) as $some) {
                $find = $pdo->prepare("SELECT $key FROM $table WHERE $key IN ("
                    . implode(', ', array_fill(0, count($some), '?')) . ')');
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
                // MySQL tells an insert (1) from an update (2, or 0 when
                // nothing changed); SQLite holds the write lock since the look-up.
                $inserted = $mysql ? $upsert->rowCount() === 1 : !isset($held[$hash]);
                ++$counts[$inserted ? 'inserted' : 'updated'];
                $held[$hash] = true;
            }
            return $counts;
        });
    } catch (Throwable $e) {
        refuse('Порция не записана, сайт не изменён: ' . databaseReason($e));
    }
    $counts['rejected'] = count($reasons);
    $message = sprintf('Добавлено %d, изменено %d, удалено %d, не найдено для удаления %d, отклонено %d',
        $counts['inserted'], $counts['updated'], $counts['deleted'], $counts['absent'], $counts['rejected']);
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
    $table = quoter($pdo)('fidmora_logins');
    $address = clientAddress();
    try {
        $wait = admitLogin($pdo, $table, $address);
    } catch (Throwable $e) {
        refuse('Вход не проверен: ' . databaseReason($e), 503);
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
        refuse('Неверный логин или пароль');
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
