<?php
// Settings of cron.php. Copy this file to config.php beside cron.php and
// change it; config.php holds the password hash and is never committed.
return [
    // The login and the password the program sends. Store only the hash:
    //   php -r 'echo password_hash("the password", PASSWORD_DEFAULT), "\n";'
    'login' => 'fidmora',
    'passwordHash' => '$2y$10$replace.this.with.the.output.of.password_hash.........',

    // Where the goods live, as a PDO data source. SQLite by default, in a
    // folder beside the web root, never inside it: anything inside can be
    // downloaded by whoever guesses its address, and the script refuses to
    // run with a database file there. MySQL/MariaDB:
    //   'dsn' => 'mysql:host=localhost;dbname=shop;charset=utf8mb4',
    //   'dbUser' => 'shop', 'dbPassword' => '...',
    'dsn' => 'sqlite:' . dirname($_SERVER['DOCUMENT_ROOT'] ?? __DIR__) . '/fidmora-data/goods.sqlite',

    // The table of goods; created with these columns on first use. The
    // columns are the site's header: the program sends and reads exactly
    // these. Keep "idTpl" (how a good is recognised) and "status" (what
    // happened to it: "+" added, "~" changed, "-" deleted).
    'table' => 'fidmora_goods',
    'columns' => [
        'id', 'name', 'url', 'price', 'oldprice', 'categoryId', 'picture', 'vendor',
        'description', 'advcampaign_name', 'idTpl', 'status',
    ],

    // Rows in one request, both ways.
    'chunkSize' => 1000,

    // Larger request bodies are refused. PHP's post_max_size must be at
    // least as large. Before login, nothing above 64 KB is taken.
    // 'maxBodyBytes' => 32 * 1024 * 1024,

    // Folder of the login sessions, when PHP's default does not suit; like
    // the database, outside the web root.
    // 'sessionDir' => dirname($_SERVER['DOCUMENT_ROOT'] ?? __DIR__) . '/fidmora-data/sessions',
];
