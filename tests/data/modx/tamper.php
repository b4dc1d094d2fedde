<?php
// A site that misbehaves on purpose, for the client's tests: it answers
// through cron.php and spoils one thing, chosen by the query string.
//   mode=slow&action=A   sleeps 30 s before answering action A
//   mode=short           "data" answers with one cell missing in its 2nd row
//   mode=faildata        "data" from offset 50 on answers success: false
//   mode=failupdate      the 2nd "update" answers success: false
//   mode=http500         every answer is an HTTP 500 whose message holds quotes
//   mode=config&key=K&value=V   "configure" answers V (JSON) for K, or drops K when V is empty
//   mode=status&code=N   every answer is HTTP N with a web server's error page
//   mode=body&text=T     every answer is T as it stands, HTTP 200
//   mode=phperror        the script dies of a PHP error that the site shows
//   mode=cut             every answer stops half way, the connection closed
$request = json_decode((string)file_get_contents('php://input'), true);
$action = is_array($request) ? ($request['action'] ?? '') : '';
$mode = $_GET['mode'] ?? '';
$reply = function (array $answer, int $status = 200): never {
    http_response_code($status);
    header('Content-Type: application/json');
    echo json_encode($answer, JSON_UNESCAPED_UNICODE);
    exit;
};
$rewrite = function (callable $change): void {
    ob_start(function (string $out) use ($change) {
        $answer = json_decode($out, true);
        return is_array($answer) ? json_encode($change($answer), JSON_UNESCAPED_UNICODE) : $out;
    });
};

if ($mode === 'status') {
    http_response_code((int)$_GET['code']);
    echo "<!DOCTYPE html>\n<html><head><title>Error</title></head><body><h1>" . (int)$_GET['code'] . "</h1></body></html>\n";
    exit;
}
if ($mode === 'body') {
    header('Content-Type: application/json');
    echo $_GET['text'];
    exit;
}
if ($mode === 'phperror') {
    ini_set('display_errors', '1');
    ini_set('html_errors', '1');
    fidmora_no_such_function();
}
if ($mode === 'cut') {
    // The whole length announced, half of it sent.
    ob_start(function (string $out) {
        header('Content-Length: ' . strlen($out));
        return substr($out, 0, intdiv(strlen($out), 2));
    });
}
if ($mode === 'slow' && $action === ($_GET['action'] ?? ''))
    sleep(30);
if ($mode === 'faildata' && $action === 'data' && ($request['object']['offset'] ?? 0) >= 50)
    $reply(['success' => false, 'message' => 'База недоступна']);
if ($mode === 'failupdate' && $action === 'update') {
    $counter = dirname(__DIR__) . '/update-count';
    $seen = (int)@file_get_contents($counter) + 1;
    file_put_contents($counter, (string)$seen);
    if ($seen === 2)
        $reply(['success' => false, 'message' => 'Диск переполнен']);
}
if ($mode === 'http500')
    $reply(['success' => false, 'message' => 'сломалось "всё"'], 500);
if ($mode === 'short' && $action === 'data') {
    $rewrite(function (array $answer) {
        if (isset($answer['object'][1]))
            array_pop($answer['object'][1]);
        return $answer;
    });
}
if ($mode === 'config' && $action === 'configure') {
    $rewrite(function (array $answer) {
        if (($_GET['value'] ?? '') === '')
            unset($answer['object'][$_GET['key']]);
        else
            $answer['object'][$_GET['key']] = json_decode($_GET['value']);
        return $answer;
    });
}
require __DIR__ . '/cron.php';
