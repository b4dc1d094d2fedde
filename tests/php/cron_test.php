<?php
// Checks of the site's script alone, over HTTP: PHP's built-in server on
// 127.0.0.1 with a temporary SQLite database. Run: php cron_test.php SERVER_DIR
declare(strict_types=1);

$serverDir = $argv[1] ?? dirname(__DIR__, 2) . '/server';
$root = sys_get_temp_dir() . '/fidmora-cron-test-' . getmypid();
mkdir("$root/www/sessions", 0700, true);
copy("$serverDir/cron.php", "$root/www/cron.php");
$hash = password_hash('secret', PASSWORD_DEFAULT, ['cost' => 4]);
file_put_contents("$root/www/config.php", '<?php return ' . var_export([
    'login' => 'admin', 'passwordHash' => $hash, 'dsn' => "sqlite:$root/goods.sqlite", 'table' => 'goods',
    'columns' => ['id', 'name', 'url', 'advcampaign_name', 'idTpl', 'status'], 'chunkSize' => 3,
    'maxBodyBytes' => 2048, 'sessionDir' => "$root/www/sessions",
], true) . ";\n");

$probe = stream_socket_server('tcp://127.0.0.1:0');
$port = (int)explode(':', stream_socket_get_name($probe, false))[1];
fclose($probe);
$server = proc_open([PHP_BINARY, '-S', "127.0.0.1:$port", '-t', "$root/www"], [['pipe', 'r'], ['file', '/dev/null', 'w'],
    ['file', '/dev/null', 'w']], $pipes);
register_shutdown_function(function () use ($server, $root) {
    proc_terminate($server);
    proc_close($server);
    exec('rm -rf ' . escapeshellarg($root));
});
for ($i = 0; $i < 200 && !@fsockopen('127.0.0.1', $port); ++$i)
    usleep(50000);

$cookie = '';
$failures = 0;
function call(string $method, string $type, string $body, int $port, string &$cookie): array
{
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
function post(array $request, int $port, string &$cookie): array
{
    return call('POST', 'application/json', json_encode($request), $port, $cookie)[1];
}
function check(string $what, bool $ok, $detail = null): void
{
    global $failures;
    if (!$ok) {
        ++$failures;
        fwrite(STDERR, "FAIL: $what" . ($detail === null ? '' : ': ' . json_encode($detail, JSON_UNESCAPED_UNICODE)) . "\n");
    }
}

// Requests that are not the protocol: refused with a status and a JSON body.
$none = '';
foreach ([
    'GET' => ['GET', 'application/json', '', 405],
    'text/plain' => ['POST', 'text/plain', '{"action":"login"}', 415],
    'body over the limit' => ['POST', 'application/json', str_repeat(' ', 4096) . '{}', 413],
    'malformed JSON' => ['POST', 'application/json', '{"action":', 400],
    'no action' => ['POST', 'application/json', '["login"]', 400],
] as $what => [$method, $type, $body, $status]) {
    [$got, $reply, , $text] = call($method, $type, $body, $port, $none);
    check("$what: status $status", $got === $status, $text);
    check("$what: JSON refusal", is_array($reply) && $reply['success'] === false && $reply['message'] !== '', $text);
}

check('no session, no data', post(['action' => 'configure', 'object' => []], $port, $cookie)['success'] === false);
check('wrong password', post(['action' => 'login', 'object' => ['login' => 'admin', 'password' => 'x']], $port, $cookie)['success'] === false);
[, $reply, $setCookie] = call('POST', 'application/json',
    json_encode(['action' => 'login', 'object' => ['login' => 'admin', 'password' => 'secret']]), $port, $cookie);
check('login', $reply['success'] === true, $reply);
check('cookie HttpOnly, SameSite=Strict', stripos($setCookie, 'HttpOnly') !== false
    && stripos($setCookie, 'SameSite=Strict') !== false, $setCookie);
check('unknown action', post(['action' => 'drop', 'object' => []], $port, $cookie)['success'] === false);
check('data wants a positive limit', post(['action' => 'data', 'object' => ['limit' => 0, 'offset' => 0]], $port, $cookie)['success'] === false);

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
]], $port, $cookie);
$counts = $reply['object'] ?? [];
check('update counts', $reply['success'] === true && $counts['inserted'] === 3 && $counts['updated'] === 1
    && $counts['rejected'] === 3 && $counts['absent'] === 1, $reply);
check('reasons name the rows', array_column($counts['reasons'] ?? [], 'row') === [4, 5, 6], $counts);
$reply = post(['action' => 'update', 'object' => [['1', 'Кофта', 'u1', 'Shop', '[u]', '-']]], $port, $cookie);
check('delete by key', ($reply['object']['deleted'] ?? 0) === 1, $reply);
$reply = post(['action' => 'configure', 'object' => ['login' => 'admin']], $port, $cookie);
check('configure', $reply['object'] === ['header' => ['id', 'name', 'url', 'advcampaign_name', 'idTpl', 'status'],
    'chunkSize' => 3, 'existDataSize' => 2], $reply);
$reply = post(['action' => 'data', 'object' => ['limit' => 3, 'offset' => 0]], $port, $cookie);
check('data in stable order', $reply['object'] === [['7', 'Шарф синий', '', 'Shop', '[a]-[i]', '~'],
    ['7', 'Шарф', '', 'Other', '[a]-[i]', '+']], $reply);

// The owner puts another database file in place (a restored backup): the
// script writes into that file, not into the old one it had open.
$restored = new PDO("sqlite:$root/restored.sqlite");
$restored->exec('CREATE TABLE notes (text TEXT)');
$restored = null;
rename("$root/restored.sqlite", "$root/goods.sqlite");
@unlink("$root/goods.sqlite-wal");
@unlink("$root/goods.sqlite-shm");
$reply = post(['action' => 'configure', 'object' => ['login' => 'admin']], $port, $cookie);
check('a replaced database is the one read', ($reply['object']['existDataSize'] ?? -1) === 0, $reply);
post(['action' => 'update', 'object' => [['5', 'Пальто', 'u5', 'Shop', '', '+']]], $port, $cookie);
$direct = new PDO("sqlite:$root/goods.sqlite", null, null, [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);
$held = $direct->query("SELECT count(*) FROM sqlite_master WHERE name = 'goods'")->fetchColumn() == 1
    ? (int)$direct->query('SELECT count(*) FROM goods')->fetchColumn() : -1;
check('a replaced database is the one written', $held === 1, $held);
$direct = null;

echo $failures === 0 ? "cron.php: all checks passed\n" : "cron.php: $failures checks failed\n";
exit($failures === 0 ? 0 : 1);
