<?php
// The site script's MODX mode at work: a private MariaDB loaded with the
// miniShop2 tables (the shop's indexes included), cron.php in MODX mode
// under PHP's built-in server, and modxbench writing generated goods into
// the shop with the program's own client and reading them back.
//
//   php bench/modx_shop_bench.php [MODXBENCH] [--rows N] [--categories N] [--chunk N]
//
// MODXBENCH defaults to build/bench/modxbench. Targets: 5,000 rows/s
// written, 20,000 rows/s read, the client's processor time under a quarter
// of the elapsed time.
declare(strict_types=1);

require dirname(__DIR__) . '/tests/php/site.php';

$options = getopt('', ['rows:', 'categories:', 'chunk:'], $rest);
$bench = $argv[$rest] ?? dirname(__DIR__) . '/build/bench/modxbench';
$rows = (int)($options['rows'] ?? 20000);
$categories = (int)($options['categories'] ?? 500);
$chunk = (int)($options['chunk'] ?? 1000);
if (!is_executable($bench)) {
    fwrite(STDERR, "modx_shop_bench: $bench not found; build it: cmake --build build --target modxbench\n");
    exit(1);
}
if (($missing = PrivateMariaDb::missing()) !== null) {
    fwrite(STDERR, "modx_shop_bench: $missing\n");
    exit(1);
}
$root = sys_get_temp_dir() . '/fidmora-modx-bench-' . getmypid();
mkdir("$root/cache", 0700, true);
register_shutdown_function(function () use ($root) {
    global $site, $database;
    $site = null;
    $database = null;
    exec('rm -rf ' . escapeshellarg($root));
});
$database = new PrivateMariaDb($root);
$database->load('shop', dirname(__DIR__) . '/tests/php/minishop2-schema.sql');
$site = new ScriptServer(dirname(__DIR__) . '/server', $root, [
    'login' => 'bench', 'passwordHash' => password_hash('bench-secret', PASSWORD_DEFAULT, ['cost' => 4]),
    'dsn' => $database->dsn('shop'), 'dbUser' => 'root', 'dbPassword' => '', 'mode' => 'modx', 'chunkSize' => $chunk,
    'sessionDir' => "$root/sessions",
    'modx' => ['catalogRoot' => 2, 'categoryTemplate' => 2, 'productTemplate' => 3, 'cachePath' => "$root/cache"],
], 1);
// The site's processor time is that of the database server and of PHP's
// server, which serves every request in its own process.
$pids = [$database->pid(), $site->pid()];

$process = proc_open([$bench, '--rows', (string)$rows, '--categories', (string)$categories, '--chunk', (string)$chunk,
    '--site', "127.0.0.1:{$site->port}", '--site-pids', implode(',', $pids), '--write-target', '5000'], [['file', '/dev/null', 'r'], STDOUT, STDERR], $pipes,
    null, getenv() + ['FIDMORA_SITE_LOGIN' => 'bench', 'FIDMORA_SITE_PASSWORD' => 'bench-secret']);
$status = proc_close($process);
$shop = $database->connect('shop');
printf("shop: %d products, %d categories\n",
    $shop->query("SELECT COUNT(*) FROM modx_site_content WHERE class_key = 'msProduct'")->fetchColumn(),
    $shop->query("SELECT COUNT(*) FROM modx_site_content WHERE class_key = 'msCategory'")->fetchColumn());
exit($status);
