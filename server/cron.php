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
const MAX_DATA_LIMIT = 100000;
const MAX_REASONS = 20;

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

// The request body as an array, or a refusal.
function readRequest(int $maxBody): array
{
    if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
        header('Allow: POST');
        refuse('Принимаются только запросы POST', 405);
    }
    $type = strtolower(trim(explode(';', $_SERVER['CONTENT_TYPE'] ?? '')[0]));
    if ($type !== 'application/json')
        refuse('Тело запроса должно быть application/json', 415);
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
    session_name('FIDMORASESSID');
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
    } elseif ($driver === 'mysql') {
        $cells = array_map(fn($c) => $q($c) . ' MEDIUMTEXT NOT NULL', $config['columns']);
        $pdo->exec("CREATE TABLE IF NOT EXISTS $table (`fidmora_id` BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, "
            . '`fidmora_key` CHAR(40) NOT NULL UNIQUE, ' . implode(', ', $cells) . ') DEFAULT CHARSET=utf8mb4');
    } else {
        refuse("База $driver не поддерживается: только SQLite и MySQL/MariaDB", 500);
    }
    return $pdo;
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
    $q = quoter($pdo);
    $table = $q($config['table']);
    $assignments = implode(', ', array_map(fn($c) => $q($c) . ' = ?', $columns));
    $update = $pdo->prepare("UPDATE $table SET $assignments WHERE " . $q('fidmora_key') . ' = ?');
    $insert = $pdo->prepare("INSERT INTO $table (" . $q('fidmora_key') . ', ' . implode(', ', array_map($q, $columns))
        . ') VALUES (' . implode(', ', array_fill(0, count($columns) + 1, '?')) . ')');
    $delete = $pdo->prepare("DELETE FROM $table WHERE " . $q('fidmora_key') . ' = ?');

    $counts = ['inserted' => 0, 'updated' => 0, 'deleted' => 0, 'absent' => 0, 'rejected' => 0];
    $reasons = [];
    $reject = function (int $index, string $why) use (&$counts, &$reasons): void {
        ++$counts['rejected'];
        if (count($reasons) < MAX_REASONS)
            $reasons[] = ['row' => $index, 'reason' => $why];
    };
    // Which goods the site holds already, asked for the whole chunk at once.
    $keys = [];
    foreach ($rows as $index => $row) {
        if (is_array($row) && array_is_list($row) && count($row) === count($columns)
                && count(array_filter($row, 'is_string')) === count($row)) {
            $keys[$index] = identityKey($row, $at);
        }
    }
    $hashes = array_values(array_unique(array_map(fn($key) => sha1((string)$key[0]), array_filter($keys,
        fn($key) => $key[0] !== null))));
    $held = [];
    foreach (array_chunk($hashes, 500) as $some) {
        $find = $pdo->prepare("SELECT " . $q('fidmora_key') . " FROM $table WHERE " . $q('fidmora_key') . ' IN ('
            . implode(', ', array_fill(0, count($some), '?')) . ')');
        $find->execute($some);
        foreach ($find->fetchAll(PDO::FETCH_COLUMN) as $hash)
            $held[$hash] = true;
    }

    // One transaction per chunk: the chunk is applied whole or not at all.
    $pdo->beginTransaction();
    try {
        foreach ($rows as $index => $row) {
            if (!is_array($row) || !array_is_list($row) || count($row) !== count($columns)) {
                $reject($index, 'строка должна быть списком из ' . count($columns) . ' ячеек');
                continue;
            }
            foreach ($row as $cell) {
                if (!is_string($cell)) {
                    $reject($index, 'все ячейки должны быть строками');
                    continue 2;
                }
            }
            [$key, $why] = $keys[$index];
            if ($key === null) {
                $reject($index, $why);
                continue;
            }
            $hash = sha1($key);
            if (isset($at['status']) && $row[$at['status']] === '-') {
                $delete->execute([$hash]);
                ++$counts[$delete->rowCount() > 0 ? 'deleted' : 'absent'];
                unset($held[$hash]);
                continue;
            }
            if (isset($held[$hash])) {
                $update->execute([...$row, $hash]);
                ++$counts['updated'];
            } else {
                $insert->execute([$hash, ...$row]);
                ++$counts['inserted'];
                $held[$hash] = true;
            }
        }
        $pdo->commit();
    } catch (Throwable $e) {
        $pdo->rollBack();
        error_log('fidmora cron.php: update: ' . $e);
        refuse('Порция не записана, сайт не изменён: ' . $e->getMessage());
    }
    $message = sprintf('Добавлено %d, изменено %d, удалено %d, не найдено для удаления %d, отклонено %d',
        $counts['inserted'], $counts['updated'], $counts['deleted'], $counts['absent'], $counts['rejected']);
    answer(['success' => true, 'message' => $message, 'object' => $counts + ['reasons' => $reasons]]);
}

function actionLogin(array $config, $object): never
{
    $login = is_array($object) ? ($object['login'] ?? null) : null;
    $password = is_array($object) ? ($object['password'] ?? null) : null;
    if (!is_string($login) || !is_string($password)
            || !hash_equals($config['login'], $login) || !password_verify($password, $config['passwordHash'])) {
        $_SESSION = [];
        refuse('Неверный логин или пароль');
    }
    session_regenerate_id(true);
    $_SESSION['fidmora_login'] = $login;
    answer(['success' => true, 'message' => 'Вход выполнен']);
}

$config = loadConfig();
$request = readRequest($config['maxBodyBytes']);
startSession($config);
$object = $request['object'] ?? null;
if ($request['action'] === 'login')
    actionLogin($config, $object);
if (!isset($_SESSION['fidmora_login']) || $_SESSION['fidmora_login'] !== $config['login'])
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
