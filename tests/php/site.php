<?php
// What the PHP checks and the shop bench start: a private MariaDB server on
// a socket of its own, and PHP's built-in server running cron.php, both in
// a temporary folder, both ended by their process ids.
declare(strict_types=1);

// The first of these programs found, or null.
function findProgram(string ...$names): ?string
{
    foreach ($names as $name) {
        foreach ([...explode(PATH_SEPARATOR, (string)getenv('PATH')), '/usr/sbin', '/usr/bin', '/sbin'] as $folder) {
            if ($folder !== '' && is_executable("$folder/$name"))
                return "$folder/$name";
        }
    }
    return null;
}

// Ends a process and the children it left (PHP's server workers, for one).
function endProcess($process): void
{
    $status = proc_get_status($process);
    if ($status['running']) {
        foreach (glob('/proc/[0-9]*/stat') ?: [] as $stat) {
            $fields = explode(' ', trim(explode(')', (string)@file_get_contents($stat))[1] ?? ''));
            if ((int)($fields[1] ?? 0) === $status['pid'])
                posix_kill((int)basename(dirname($stat)), 9);
        }
        proc_terminate($process, 15);
    }
    proc_close($process);
}

function waitFor(callable $ready, float $seconds): bool
{
    for ($until = microtime(true) + $seconds; microtime(true) < $until; usleep(100000)) {
        if ($ready())
            return true;
    }
    return false;
}

final class PrivateMariaDb
{
    public string $socket;
    private $process = null;

    // The reason why no server can run here, or null.
    public static function missing(): ?string
    {
        if (findProgram('mariadbd', 'mysqld') === null || findProgram('mariadb-install-db', 'mysql_install_db') === null)
            return 'the MariaDB server is not installed (Debian: mariadb-server)';
        if (!in_array('mysql', PDO::getAvailableDrivers(), true))
            return "PHP's MySQL driver is not installed (Debian: php-mysql)";
        return null;
    }

    // Starts a fresh server with its data in $folder; throws when it does not come up.
    public function __construct(private string $folder)
    {
        $this->socket = "$folder/mariadb.sock";
        $user = posix_getpwuid(posix_geteuid())['name'];
        exec(escapeshellarg(findProgram('mariadb-install-db', 'mysql_install_db')) . ' --no-defaults --datadir='
            . escapeshellarg("$folder/data") . ' --auth-root-authentication-method=normal --user=' . escapeshellarg($user)
            . ' > ' . escapeshellarg("$folder/install.log") . ' 2>&1', $output, $status);
        if ($status !== 0)
            throw new RuntimeException("mariadb-install-db failed: " . @file_get_contents("$folder/install.log"));
        $this->process = proc_open([findProgram('mariadbd', 'mysqld'), '--no-defaults', "--datadir=$folder/data",
            "--socket={$this->socket}", '--skip-networking', "--user=$user", "--pid-file=$folder/mariadb.pid",
            "--log-error=$folder/mariadb.log", '--innodb-buffer-pool-size=128M'],
            [['file', '/dev/null', 'r'], ['file', '/dev/null', 'w'], ['file', '/dev/null', 'w']], $pipes);
        if (!waitFor(function () {
            try {
                $this->connect('');
                return true;
            } catch (PDOException) {
                return false;
            }
        }, 60))
            throw new RuntimeException('MariaDB did not start: ' . @file_get_contents("$folder/mariadb.log"));
    }

    public function connect(string $database): PDO
    {
        return new PDO("mysql:unix_socket={$this->socket};charset=utf8mb4" . ($database !== '' ? ";dbname=$database" : ''),
            'root', '', [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION, PDO::ATTR_DEFAULT_FETCH_MODE => PDO::FETCH_ASSOC]);
    }

    // A fresh database $name made from the statements of $schema.
    public function load(string $name, string $schema): PDO
    {
        $server = $this->connect('');
        $server->exec("DROP DATABASE IF EXISTS `$name`");
        $server->exec("CREATE DATABASE `$name` CHARACTER SET utf8mb4");
        $pdo = $this->connect($name);
        foreach (preg_split('/;\s*\n/', (string)preg_replace('/^--.*$/m', '', (string)file_get_contents($schema))) as $statement) {
            if (trim($statement) !== '')
                $pdo->exec($statement);
        }
        return $pdo;
    }

    public function pid(): int
    {
        return proc_get_status($this->process)['pid'];
    }

    public function dsn(string $database): string
    {
        return "mysql:unix_socket={$this->socket};dbname=$database;charset=utf8mb4";
    }

    public function __destruct()
    {
        if ($this->process !== null)
            endProcess($this->process);
        $this->process = null;
    }
}

// cron.php under PHP's built-in server on 127.0.0.1, its web root
// "$folder/www", with config.php returning $settings.
final class ScriptServer
{
    public int $port;
    private $process;

    public function __construct(string $serverDir, public string $folder, array $settings, int $workers = 4)
    {
        @mkdir("$folder/www", 0700, true);
        @mkdir("$folder/sessions", 0700, true);
        copy("$serverDir/cron.php", "$folder/www/cron.php");
        $this->configure($settings);
        $probe = stream_socket_server('tcp://127.0.0.1:0');
        $this->port = (int)explode(':', stream_socket_get_name($probe, false))[1];
        fclose($probe);
        $this->process = proc_open([PHP_BINARY, '-d', 'post_max_size=64M', '-S', "127.0.0.1:{$this->port}",
            '-t', "$folder/www"], [['file', '/dev/null', 'r'], ['file', '/dev/null', 'w'], ['file', "$folder/php.log", 'w']],
            $pipes, null, getenv() + ['PHP_CLI_SERVER_WORKERS' => (string)$workers]);
        if (!waitFor(fn() => @fsockopen('127.0.0.1', $this->port) !== false, 20))
            throw new RuntimeException("PHP's built-in server did not start");
    }

    // The settings live in a JSON file beside the web root, read afresh on
    // every request (a rewritten config.php could stay compiled for a while).
    public function configure(array $settings): void
    {
        file_put_contents("{$this->folder}/settings.json", json_encode($settings));
        file_put_contents("{$this->folder}/www/config.php",
            "<?php return json_decode(file_get_contents('{$this->folder}/settings.json'), true);\n");
    }

    public function pid(): int
    {
        return proc_get_status($this->process)['pid'];
    }

    public function url(): string
    {
        return "http://127.0.0.1:{$this->port}/cron.php";
    }

    public function __destruct()
    {
        endProcess($this->process);
    }
}

// One client of the protocol with its own session.
final class Client
{
    private string $cookie = '';

    public function __construct(private string $url)
    {
    }

    // [HTTP status, decoded answer]
    public function call(string $action, $object): array
    {
        $context = stream_context_create(['http' => ['method' => 'POST', 'ignore_errors' => true, 'timeout' => 120,
            'header' => "Content-Type: application/json\r\n" . ($this->cookie !== '' ? "Cookie: {$this->cookie}\r\n" : ''),
            'content' => json_encode(['action' => $action, 'object' => $object], JSON_UNESCAPED_UNICODE)]]);
        $text = file_get_contents($this->url, false, $context);
        foreach ($http_response_header as $line) {
            if (stripos($line, 'Set-Cookie: FIDMORASESSID=') === 0)
                $this->cookie = explode(';', substr($line, strlen('Set-Cookie: ')))[0];
        }
        return [(int)explode(' ', $http_response_header[0])[1], json_decode((string)$text, true)];
    }

    public function post(string $action, $object): array
    {
        return $this->call($action, $object)[1] ?? [];
    }

    // A request sent without waiting for its answer, so that several run at once.
    public function send(string $action, $object)
    {
        $body = json_encode(['action' => $action, 'object' => $object], JSON_UNESCAPED_UNICODE);
        $address = parse_url($this->url);
        $socket = stream_socket_client("tcp://{$address['host']}:{$address['port']}", $errno, $error, 10);
        fwrite($socket, "POST {$address['path']} HTTP/1.0\r\nHost: {$address['host']}\r\n"
            . "Content-Type: application/json\r\nCookie: {$this->cookie}\r\nContent-Length: " . strlen($body)
            . "\r\n\r\n$body");
        return $socket;
    }

    // The decoded answer to a request sent with send().
    public static function receive($socket): array
    {
        stream_set_timeout($socket, 120);
        return json_decode(explode("\r\n\r\n", (string)stream_get_contents($socket), 2)[1] ?? '', true) ?? [];
    }
}
