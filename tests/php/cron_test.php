<?php
// Checks of the site's script alone, over HTTP: PHP's built-in server on
// 127.0.0.1 with a temporary SQLite database. Run: php cron_test.php SERVER_DIR
declare(strict_types=1);

$serverDir = realpath($argv[1] ?? dirname(__DIR__, 2) . "/server");
$root = sys_get_temp_dir() . '/fidmora-cron-test-' . getmypid();
mkdir("$root/www", 0700, true);
mkdir("$root/sessions", 0700, true);
copy("$serverDir/cron.php", "$root/www/cron.php");
// The settings live in a JSON file that the checks rewrite; config.php
// reads it on every request, and takes the database from the example
// configuration when asked to.
file_put_contents("$root/www/config.php", "<?php \$s = json_decode(file_get_contents('$root/config.json'), true);\n"
    . "if (!empty(\$s['example'])) \$s['dsn'] = (require '$serverDir/config.example.php')['dsn'];\nreturn \$s;\n");
$settings = [
    'login' => 'admin', 'passwordHash' => password_hash('secret', PASSWORD_DEFAULT, ['cost' => 4]),
    'dsn' => "sqlite:$root/goods.sqlite", 'table' => 'goods',
    'columns' => ['id', 'name', 'url', 'advcampaign_name', 'idTpl', 'status'], 'chunkSize' => 3,
    'maxBodyBytes' => 256 * 1024, 'sessionDir' => "$root/sessions",
];
function configure(array $changes): void
{
    global $settings, $root;
    file_put_contents("$root/config.json", json_encode($changes + $settings));
}
configure([]);

$probe = stream_socket_server('tcp://127.0.0.1:0');
$port = (int)explode(':', stream_socket_get_name($probe, false))[1];
fclose($probe);
// Several workers, so that writers can meet.
$server = proc_open([PHP_BINARY, '-S', "127.0.0.1:$port", '-t', "$root/www"], [['pipe', 'r'], ['file', '/dev/null', 'w'],
    ['file', "$root/php.log", 'w']], $pipes, null, getenv() + ['PHP_CLI_SERVER_WORKERS' => '4']);
register_shutdown_function(function () use ($server, $root) {
    // The workers go with the server's process group: ended by their ids.
    $status = proc_get_status($server);
    foreach (glob('/proc/[0-9]*/stat') as $stat) {
        $fields = explode(' ', trim(explode(')', (string)@file_get_contents($stat))[1] ?? ''));
        if ((int)($fields[1] ?? 0) === $status['pid'])
            posix_kill((int)basename(dirname($stat)), 9);
    }
    proc_terminate($server, 9);
    proc_close($server);
    // KEEP=1 keeps the folder, with the server's log php.log, for a look.
    if (getenv("KEEP") === false)
        exec("rm -rf " . escapeshellarg($root));
});
for ($i = 0; $i < 200 && !@fsockopen('127.0.0.1', $port); ++$i)
    usleep(50000);

$failures = 0;
function call(string $method, string $type, string $body, string &$cookie): array
{
    global $port;
    $headers = "Content-Type: $type\r\n" . ($cookie !== '' ? "Cookie: $cookie\r\n" : '');
    $context = stream_context_create(['http' => ['method' => $method, 'header' => $headers, 'content' => $body,
        'ignore_errors' => true, 'timeout' => 60]]);
    $text = file_get_contents("http://127.0.0.1:$port/cron.php", false, $context);
    $status = (int)explode(' ', $http_response_header[0])[1];
    $setCookie = '';
    foreach ($http_response_header as $line) {
        if (stripos($line, 'Set-Cookie: FIDMORASESSID=') === 0) {
            $setCookie = $line;
            $cookie = explode(';', substr($line, strlen('Set-Cookie: ')))[0];
        }
    }
    return [$status, json_decode($text, true), $setCookie, $text];
}
function post(array $request, string &$cookie): array
{
    return call('POST', 'application/json', json_encode($request), $cookie)[1];
}
function login(string $name, string $password, string &$cookie): array
{
    [$status, $reply] = call('POST', 'application/json',
        json_encode(['action' => 'login', 'object' => ['login' => $name, 'password' => $password]]), $cookie);
    return [$status, $reply];
}
function check(string $what, bool $ok, $detail = null): void
{
    global $failures;
    if (!$ok) {
        ++$failures;
        fwrite(STDERR, "FAIL: $what" . ($detail === null ? '' : ': ' . json_encode($detail, JSON_UNESCAPED_UNICODE)) . "\n");
    }
}
function database(): PDO
{
    global $root;
    return new PDO("sqlite:$root/goods.sqlite", null, null, [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);
}

// Requests that are not the protocol: refused with a status and a JSON body.
// Without a session nothing above 64 KB is decoded; a session may send up to
// "maxBodyBytes".
$cookie = '';
check('login', login('admin', 'secret', $cookie)[1]['success'] ?? false);
$padded = fn(int $bytes) => str_repeat(' ', $bytes) . '{"action":"configure","object":{}}';
foreach ([
    'GET' => ['GET', 'application/json', '', false, 405],
    'text/plain' => ['POST', 'text/plain', '{"action":"login"}', false, 415],
    'over 64 KB without a session' => ['POST', 'application/json', $padded(65 * 1024), false, 413],
    '32 MB without a session' => ['POST', 'application/json', $padded(32 << 20), false, 413],
    'over 64 KB in a session' => ['POST', 'application/json', $padded(65 * 1024), true, 200],
    'over maxBodyBytes in a session' => ['POST', 'application/json', $padded(257 * 1024), true, 413],
    'malformed JSON' => ['POST', 'application/json', '{"action":', false, 400],
    'no action' => ['POST', 'application/json', '["login"]', false, 400],
] as $what => [$method, $type, $body, $inSession, $status]) {
    $jar = $inSession ? $cookie : '';
    [$got, $reply, , $text] = call($method, $type, $body, $jar);
    check("$what: status $status", $got === $status, substr((string)$text, 0, 300));
    check("$what: JSON answer", is_array($reply) && $reply['success'] === ($status === 200) && $reply['message'] !== '',
        substr((string)$text, 0, 300));
}

// A database or a session folder that the web server would hand out: the
// script refuses to run at all, and says why, without the path.
@mkdir("$root/www/data");
symlink("$root", "$root/www/outside");
foreach ([
    'database in the web root' => [['dsn' => "sqlite:$root/www/data/goods.sqlite"], 'базы SQLite'],
    'database reached by a relative path' => [['dsn' => "sqlite:$root/sessions/../www/goods.sqlite"], 'базы SQLite'],
    'database behind a link in the web root' => [['dsn' => "sqlite:$root/www/outside/goods.sqlite"], 'базы SQLite'],
    'sessions in the web root' => [['sessionDir' => "$root/www/data"], 'папка сессий'],
] as $what => [$changes, $named]) {
    configure($changes);
    $fresh = '';
    [$status, $reply] = login('admin', 'secret', $fresh);
    check("$what: refused", $status === 500 && str_contains($reply['message'] ?? '', $named)
        && !str_contains($reply['message'], $root), $reply);
}
configure([]);
check('no database was made in the web root', !file_exists("$root/www/data/goods.sqlite"));
// The example's own place for the database is beside the web root.
mkdir("$root/fidmora-data");
configure(['example' => true]);
$fresh = '';
$reply = login('admin', 'secret', $fresh)[1];
check('the example configuration runs', $reply['success'] ?? false, $reply);
check("the example's database lies beside the web root", is_file("$root/fidmora-data/goods.sqlite"));
configure([]);

$cookie = '';
check('no session, no data', post(['action' => 'configure', 'object' => []], $cookie)['success'] === false);
check('wrong password', login('admin', 'x', $cookie)[1]['success'] === false);
[, $reply, $setCookie] = call('POST', 'application/json',
    json_encode(['action' => 'login', 'object' => ['login' => 'admin', 'password' => 'secret']]), $cookie);
check('login', $reply['success'] === true, $reply);
check('cookie HttpOnly, SameSite=Strict', stripos($setCookie, 'HttpOnly') !== false
    && stripos($setCookie, 'SameSite=Strict') !== false, $setCookie);
check('unknown action', post(['action' => 'drop', 'object' => []], $cookie)['success'] === false);
check('data wants a positive limit', post(['action' => 'data', 'object' => ['limit' => 0, 'offset' => 0]], $cookie)['success'] === false);

// Keys come from "idTpl" resolved against the row's own cells.
$reply = post(['action' => 'update', 'object' => [
    ['1', 'Кофта', 'u1', 'Shop', '', '+'],            // default template: the url
    ['7', 'Шарф', '', 'Shop', '[a]-[i]', '+'],        // Shop-7
    ['7', 'Шарф синий', '', 'Shop', '[a]-[i]', '~'],  // Shop-7 again: updated
    ['7', 'Шарф', '', 'Other', '[a]-[i]', '+'],       // Other-7: another good
    ['', '', '', 'Shop', '', '+'],                   // nothing to know it by
    ['2', 'x', 'u2', 'Shop', '[a][p]', '+'],          // numbered afresh every run
    ['3', 'short row'],
    ['9', 'Нет', 'u9', 'Shop', '', '-'],              // not there to delete
]], $cookie);
$counts = $reply['object'] ?? [];
check('update counts', $reply['success'] === true && $counts['inserted'] === 3 && $counts['updated'] === 1
    && $counts['rejected'] === 3 && $counts['absent'] === 1, $reply);
check('reasons name the rows', array_column($counts['reasons'] ?? [], 'row') === [4, 5, 6], $counts);
$reply = post(['action' => 'update', 'object' => [['1', 'Кофта', 'u1', 'Shop', '[u]', '-']]], $cookie);
check('delete by key', ($reply['object']['deleted'] ?? 0) === 1, $reply);
$reply = post(['action' => 'configure', 'object' => ['login' => 'admin']], $cookie);
check('configure', $reply['object'] === ['header' => ['id', 'name', 'url', 'advcampaign_name', 'idTpl', 'status'],
    'chunkSize' => 3, 'existDataSize' => 2], $reply);
$reply = post(['action' => 'data', 'object' => ['limit' => 3, 'offset' => 0]], $cookie);
check('data in stable order', $reply['object'] === [['7', 'Шарф синий', '', 'Shop', '[a]-[i]', '~'],
    ['7', 'Шарф', '', 'Other', '[a]-[i]', '+']], $reply);

// A chunk the database refuses half way leaves nothing of itself, and the
// answer gives a reason without the database's own text.
database()->exec("CREATE TRIGGER boom BEFORE INSERT ON goods WHEN NEW.name = 'boom' "
    . "BEGIN SELECT RAISE(ABORT, 'secret trigger text'); END");
$reply = post(['action' => 'update', 'object' => [['10', 'Пальто', 'u10', 'Shop', '', '+'],
    ['11', 'boom', 'u11', 'Shop', '', '+']]], $cookie);
check('failed chunk: refused with a short reason', $reply['success'] === false
    && str_contains($reply['message'], 'не записана') && !preg_match('/secret|trigger|SQL|INSERT/i', $reply['message']), $reply);
check('failed chunk: nothing of it written', (int)database()->query("SELECT count(*) FROM goods WHERE url = 'u10'")
    ->fetchColumn() === 0);
database()->exec('DROP TRIGGER boom');

// Writers at once, each in a session of its own, sending the same new goods:
// every chunk is taken, each good is inserted once.
$rows = [];
for ($i = 0; $i < 1500; ++$i)
    $rows[] = ["$i", "Товар $i", "https://race.test/$i", 'Race', '', '+'];
$body = json_encode(['action' => 'update', 'object' => $rows]);
$sessions = [];
for ($w = 0; $w < 4; ++$w) {
    $sessions[$w] = '';
    login('admin', 'secret', $sessions[$w]);
}
$writers = [];
foreach ($sessions as $session) {
    $socket = stream_socket_client("tcp://127.0.0.1:$port", $errno, $error, 10);
    fwrite($socket, "POST /cron.php HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nCookie: $session\r\n"
        . 'Content-Length: ' . strlen($body) . "\r\n\r\n$body");
    $writers[] = $socket;
}
$inserted = 0;
foreach ($writers as $w => $socket) {
    stream_set_timeout($socket, 60);
    $reply = json_decode(explode("\r\n\r\n", stream_get_contents($socket), 2)[1] ?? '', true);
    check("writer $w: chunk taken", ($reply['success'] ?? false) === true, $reply);
    $inserted += $reply['object']['inserted'] ?? 0;
}
check('writers: each good inserted once', $inserted === count($rows)
    && (int)database()->query("SELECT count(*) FROM goods WHERE advcampaign_name = 'Race'")->fetchColumn() === count($rows),
    $inserted);

// Guessing: five failures from one address are free, then each attempt waits
// 1 s, doubling up to 60 s, whatever the password; an unknown name counts as
// a failure. The waits are read from the database, where they are kept.
$cookie = '';
for ($i = 1; $i <= 5; ++$i) {
    [$status, $reply] = login($i === 3 ? 'stranger' : 'admin', $i === 3 ? 'secret' : 'guess', $cookie);
    check("failed login $i refused", $status === 200 && $reply['success'] === false, $reply);
}
[$status, $reply] = login('admin', 'secret', $cookie);
check('sixth attempt: 429', $status === 429 && str_contains($reply['message'] ?? '', 'слишком много попыток'), $reply);
foreach ([5 => 2, 9 => 32, 30 => 60] as $before => $wait) {
    database()->exec("UPDATE fidmora_logins SET failures = $before, waitUntil = 0");
    login('admin', 'guess', $cookie);
    $left = (float)database()->query('SELECT waitUntil FROM fidmora_logins')->fetchColumn() - microtime(true);
    check("after " . ($before + 1) . " failures the wait is $wait s", $left > $wait - 5 && $left <= $wait, $left);
}
database()->exec('UPDATE fidmora_logins SET waitUntil = 0');
check('the right password once the wait is over', login('admin', 'secret', $cookie)[1]['success'] === true);
check('a login clears the count', (int)database()->query('SELECT count(*) FROM fidmora_logins')->fetchColumn() === 0);

// The owner puts another database file in place (a restored backup): the
// script writes into that file, not into the old one it had open.
$restored = new PDO("sqlite:$root/restored.sqlite");
$restored->exec('CREATE TABLE notes (text TEXT)');
$restored = null;
rename("$root/restored.sqlite", "$root/goods.sqlite");
@unlink("$root/goods.sqlite-wal");
@unlink("$root/goods.sqlite-shm");
$reply = post(['action' => 'configure', 'object' => ['login' => 'admin']], $cookie);
check('a replaced database is the one read', ($reply['object']['existDataSize'] ?? -1) === 0, $reply);
post(['action' => 'update', 'object' => [['5', 'Пальто', 'u5', 'Shop', '', '+']]], $cookie);
$direct = database();
$held = $direct->query("SELECT count(*) FROM sqlite_master WHERE name = 'goods'")->fetchColumn() == 1
    ? (int)$direct->query('SELECT count(*) FROM goods')->fetchColumn() : -1;
check('a replaced database is the one written', $held === 1, $held);
$direct = null;

echo $failures === 0 ? "cron.php: all checks passed\n" : "cron.php: $failures checks failed\n";
exit($failures === 0 ? 0 : 1);
