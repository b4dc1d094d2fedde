// DuckDB's side of bench/peers.sh: the same three jobs as fidmora-cli, in
// SQL over read_csv, through DuckDB's node API.
//
//   node duckdb.mjs load FEED              prints the number of rows
//   node duckdb.mjs delta DATA BASE OUT    the delta against the base, with a status column
//   node duckdb.mjs dedup FEED OUT         the first row of each url
//   node duckdb.mjs start                  starts DuckDB and does nothing (the floor of a run)
//
// Every column is read as text (all_varchar): the delta compares cells as
// text, and the saved rows must carry the feed's own text, not a number
// reformatted. Empty cells come back as NULL; the comparisons treat NULL
// and "" alike, as a CSV file cannot tell them apart.
import { closeSync, openSync, readSync } from "node:fs";
import { DuckDBInstance } from "@duckdb/node-api";

const [mode, ...args] = process.argv.slice(2);

// SQL string literal.
const lit = (text) => "'" + String(text).replaceAll("'", "''") + "'";
// SQL identifier.
const id = (name) => '"' + String(name).replaceAll('"', '""') + '"';
// The feed's dialect: ";" separated, '"' quoted with quotes doubled, UTF-8,
// a header row; no type or dialect sniffing.
const csv = (path) =>
    `read_csv(${lit(path)}, delim = ';', quote = '"', escape = '"', header = true, ` +
    `encoding = 'utf-8', all_varchar = true, auto_detect = false, strict_mode = true, ` +
    `columns = ${columnsOf(path)})`;
// The header row as read_csv's columns struct (auto_detect is off).
function headerOf(path) {
    const fd = openSync(path, "r");
    const buffer = Buffer.alloc(1 << 16);
    const n = readSync(fd, buffer, 0, buffer.length, 0);
    closeSync(fd);
    const text = buffer.subarray(0, n).toString("utf8");
    const end = text.search(/\r?\n/);
    if (end < 0)
        throw new Error(`${path}: no header line within 64 KiB`);
    // Header names in this dialect are plain words; quoted ones lose their quotes.
    return text.slice(0, end).split(";").map((name) => name.replace(/^"(.*)"$/, "$1").replaceAll('""', '"'));
}
function columnsOf(path) {
    return "{" + headerOf(path).map((name) => `${lit(name)}: 'VARCHAR'`).join(", ") + "}";
}
const copyTo = (out) => `TO ${lit(out)} (FORMAT csv, DELIMITER ';', QUOTE '"', ESCAPE '"', HEADER true)`;

const instance = await DuckDBInstance.create(":memory:");
const db = await instance.connect();

if (mode === "start") {
    await db.run("SELECT 1");
} else if (mode === "load") {
    const [feed] = args;
    const result = await db.runAndReadAll(`SELECT count(*) AS n FROM ${csv(feed)}`);
    console.log(String(result.getRows()[0][0]));
} else if (mode === "delta") {
    const [data, base, out] = args;
    const dataColumns = headerOf(data);
    const baseColumns = new Set(headerOf(base));
    if (!dataColumns.includes("url") || !baseColumns.has("url"))
        throw new Error("both files need a url column");
    // Changed: a column both files have differs; the category is left out
    // (a good moved to another category is the same good), the url is the key.
    const compared = dataColumns.filter((c) => baseColumns.has(c) && c !== "url" && c !== "categoryId");
    const differs = compared.map((c) => `coalesce(d.${id(c)}, '') <> coalesce(b.${id(c)}, '')`).join(" OR ") || "false";
    // Rows only in the base keep their own cells; others the data's.
    const cells = dataColumns
        .map((c) => (baseColumns.has(c) ? `CASE WHEN d.url IS NULL THEN b.${id(c)} ELSE d.${id(c)} END` : `d.${id(c)}`) + ` AS ${id(c)}`)
        .join(", ");
    await db.run(`COPY (
        SELECT CASE WHEN b.url IS NULL THEN '+' WHEN d.url IS NULL THEN '-' ELSE '~' END AS status, ${cells}
        FROM ${csv(data)} AS d FULL OUTER JOIN ${csv(base)} AS b ON d.url = b.url
        WHERE d.url IS NULL OR b.url IS NULL OR ${differs}
    ) ${copyTo(out)}`);
} else if (mode === "dedup") {
    const [feed, out] = args;
    // The table's rowid follows the file's order (DuckDB keeps the insertion
    // order of a scan), so the least rowid of a url is its first row.
    await db.run(`CREATE TABLE feed AS SELECT * FROM ${csv(feed)}`);
    await db.run(`COPY (
        SELECT * FROM feed WHERE rowid IN (SELECT min(rowid) FROM feed GROUP BY url)
    ) ${copyTo(out)}`);
} else {
    console.error("usage: node duckdb.mjs load FEED | delta DATA BASE OUT | dedup FEED OUT | start");
    process.exit(2);
}
