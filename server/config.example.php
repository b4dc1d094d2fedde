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

    // Where the goods go: "table" keeps them in a table of their own (below),
    // which the site's snippets read; "modx" writes them straight into a MODX
    // shop with miniShop2 as its products and categories (see "modx").
    'mode' => 'table',

    // MODX with miniShop2 ('mode' => 'modx'): "dsn", "dbUser" and
    // "dbPassword" are then the site's own database, as in MODX's
    // core/config/config.inc.php ($database_server, $dbase, $database_user,
    // $database_password):
    //   'dsn' => 'mysql:host=localhost;dbname=modx;charset=utf8mb4',
    'modx' => [
        // $table_prefix of config.inc.php.
        'prefix' => 'modx_',
        // The id of the catalogue resource (an msCategory) under which the
        // goods' categories are made: the number beside its name in the
        // manager's resource tree.
        'catalogRoot' => 2,
        // Templates of new categories and new products (Elements →
        // Templates, the id in brackets); 0 leaves the resource without one.
        'categoryTemplate' => 0,
        'productTemplate' => 0,
        // The context the shop lives in.
        'context' => 'web',
        // Template variables for the advertiser's link and the offer's name;
        // made (as text TVs) when missing. Attach them to the product
        // template in the manager to see them on the product's page.
        'urlTv' => 'affiliate_url',
        'offerTv' => 'advertiser',
        // A good gone from the feed: "bin" unpublishes it and puts it in
        // MODX's bin (the owner can restore or empty it), "remove" deletes
        // the product and all its data at once.
        'onDelete' => 'bin',
        // MODX's core/cache/ folder: after a chunk that changed the shop, the
        // context's cached pages and its map of addresses are removed there,
        // so that the shop shows the change at once. null leaves the cache
        // alone (then clear it in the manager after an export).
        'cachePath' => null,
    ],

    // The table of goods of the "table" mode; created with these columns on first use. The
    // columns are the site's header: the program sends and reads exactly
    // these. Keep "idTpl" (how a good is recognised) and "status" (what
    // happened to it: "+" added, "~" changed, "-" deleted).
    'table' => 'fidmora_goods',
    'columns' => [
        'id', 'name', 'url', 'price', 'oldprice', 'categoryId', 'picture', 'vendor',
        'description', 'advcampaign_name', 'idTpl', 'status',
    ],

    // Rows in one request, both ways (the "modx" mode has its own header and
    // ignores "table" and "columns").
    'chunkSize' => 1000,

    // Larger request bodies are refused. PHP's post_max_size must be at
    // least as large. Before login, nothing above 64 KB is taken.
    // 'maxBodyBytes' => 32 * 1024 * 1024,

    // Folder of the login sessions, when PHP's default does not suit; like
    // the database, outside the web root.
    // 'sessionDir' => dirname($_SERVER['DOCUMENT_ROOT'] ?? __DIR__) . '/fidmora-data/sessions',
];
